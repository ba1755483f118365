// The settings store: "settings.txt" in the working directory, one UTF-8 line.

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include "GuiTestSupport.h"
#include "core/Settings.h"

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    // Only the first line counts, kept as written but for a carriage return;
    // it is written back with one line feed. Without a file the program's
    // folder is the default.
    void firstLine_IsTheFolderAndIsWrittenBackAtExit_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("folder");
        QByteArray longLine(200000, 'a');
        longLine[10] = '\xff';
        longLine[11] = '\xfe';
        const QByteArray programFolder = QCoreApplication::applicationDirPath().toUtf8();
        QTest::newRow("no file") << QByteArray() << programFolder;
        QTest::newRow("extra lines") << QByteArray("/data/scans\n/second/line\nthird\n") << QByteArray("/data/scans");
        QTest::newRow("empty first line") << QByteArray("\n/ignored\n") << QByteArray("");
        QTest::newRow("no line feed") << QByteArray("/no/such/folder") << QByteArray("/no/such/folder");
        QTest::newRow("CR LF") << QByteArray("/data/scans\r\n") << QByteArray("/data/scans");
        const QByteArray nonAscii = QStringLiteral("/daten/Netzhaut-Aufnahmen/Müller/眼底").toUtf8();
        QTest::newRow("beyond ASCII") << nonAscii + "\n" << nonAscii;
        QTest::newRow("invalid UTF-8, long") << longLine + "\nrest\n" << longLine;
    }

    void firstLine_IsTheFolderAndIsWrittenBackAtExit()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, folder);
        testsupport::ScratchDirectory scratch;
        if (!file.isNull())
            testsupport::writeFile(QStringLiteral("settings.txt"), file);
        {
            Settings settings;
            QCOMPARE(Settings::instance(), &settings);
            QCOMPARE(QByteArray::fromStdString(settings.imageFolderPath), folder);
        }
        QCOMPARE(Settings::instance(), nullptr);
        QCOMPARE(testsupport::readFile(QStringLiteral("settings.txt")), folder + "\n");
    }

    void unwritableLocation_IsSilentlySkipped()
    {
        testsupport::ScratchDirectory scratch;
        QDir(scratch.path()).mkdir(QStringLiteral("settings.txt")); // a folder where the file should go
        Settings settings;
        QVERIFY(!settings.save());
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
