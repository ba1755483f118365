// The settings store: "settings.txt" in the working directory, one UTF-8 line.

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include "GuiTestSupport.h"
#include "core/Settings.h"

class SettingsTest : public QObject {
    Q_OBJECT

private:
    static void writeFile(const QByteArray& content)
    {
        QFile file(QStringLiteral("settings.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    static QByteArray readFile()
    {
        QFile file(QStringLiteral("settings.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return file.readAll();
    }

private slots:
    void missingFile_UsesTheApplicationDirectoryAndWritesItAtExit()
    {
        testsupport::ScratchDirectory scratch;
        {
            Settings settings;
            QCOMPARE(Settings::instance(), &settings);
            QCOMPARE(QString::fromStdString(settings.imageFolderPath), QCoreApplication::applicationDirPath());
        }
        QCOMPARE(Settings::instance(), nullptr);
        QCOMPARE(readFile(), QCoreApplication::applicationDirPath().toUtf8() + "\n");
    }

    void extraLines_OnlyTheFirstIsKeptAndRewritten()
    {
        testsupport::ScratchDirectory scratch;
        writeFile("/data/scans\n/second/line\nthird\n");
        {
            Settings settings;
            QCOMPARE(settings.imageFolderPath, std::string("/data/scans"));
        }
        QCOMPARE(readFile(), QByteArray("/data/scans\n"));
    }

    void emptyFirstLine_GivesAnEmptyPathWithoutDefault()
    {
        testsupport::ScratchDirectory scratch;
        writeFile("\n/ignored\n");
        Settings settings;
        QCOMPARE(settings.imageFolderPath, std::string());
    }

    void missingFolderAndNoTrailingNewline_AreKeptAsWritten()
    {
        testsupport::ScratchDirectory scratch;
        writeFile("/no/such/folder");
        {
            Settings settings;
            QCOMPARE(settings.imageFolderPath, std::string("/no/such/folder"));
        }
        QCOMPARE(readFile(), QByteArray("/no/such/folder\n"));
    }

    void crLfLine_LosesTheCarriageReturn()
    {
        testsupport::ScratchDirectory scratch;
        writeFile("/data/scans\r\n");
        Settings settings;
        QCOMPARE(settings.imageFolderPath, std::string("/data/scans"));
    }

    void nonAsciiPath_IsRestoredExactly()
    {
        testsupport::ScratchDirectory scratch;
        const QString folder = QStringLiteral("/daten/Netzhaut-Aufnahmen/Müller/眼底");
        {
            Settings settings;
            settings.imageFolderPath = folder.toUtf8().toStdString();
        }
        QCOMPARE(readFile(), folder.toUtf8() + "\n");
        Settings again;
        QCOMPARE(QString::fromUtf8(again.imageFolderPath.c_str()), folder);
    }

    void invalidUtf8AndVeryLongLine_AreReadWithoutHarm()
    {
        testsupport::ScratchDirectory scratch;
        QByteArray line(200000, 'a');
        line[10] = '\xff';
        line[11] = '\xfe';
        writeFile(line + "\nrest\n");
        {
            Settings settings;
            QCOMPARE(settings.imageFolderPath.size(), std::size_t(200000));
        }
        QCOMPARE(readFile(), line + "\n");
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
