// The settings store: "settings.txt" in the working directory, one UTF-8
// line. The real program, started on the test's X display and ended through
// File > Exit's shortcut, ends with code 0 and writes it.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "GuiTestSupport.h"
#include "core/Settings.h"

class SettingsTest : public QObject {
    Q_OBJECT

private:
    // What xdotool printed; nothing when it hung (the process is killed
    // when it goes out of scope).
    static QString xdotool(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral("xdotool"), arguments);
        return process.waitForFinished(30000) ? QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed()
                                              : QString();
    }

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

    void exitAction_EndsWithCodeZeroAndWritesSettings()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("xdotool is needed to drive the menu of another process");
        testsupport::ScratchDirectory scratch;

        QProcess program;
        program.setWorkingDirectory(scratch.path());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(QUORREL_EXECUTABLE), QStringList());
        QVERIFY(program.waitForStarted());

        const QString windowId = xdotool({"search", "--sync", "--onlyvisible", "--pid",
                                          QString::number(program.processId()), "--name", "^Quorrel$"})
                                     .section('\n', 0, 0);
        QVERIFY2(!windowId.isEmpty(), "the main window did not appear");

        // Ctrl+Q is File > Exit's shortcut. Retry in case the first key
        // arrives before the window takes the focus.
        for (int attempt = 0; attempt < 10 && program.state() == QProcess::Running; ++attempt) {
            xdotool({"windowfocus", "--sync", windowId});
            xdotool({"key", "--window", windowId, "ctrl+q"});
            program.waitForFinished(2000);
        }
        if (program.state() == QProcess::Running) {
            program.kill();
            program.waitForFinished();
            QFAIL("the program did not end through Exit");
        }
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        QCOMPARE(testsupport::readFile(scratch.filePath(QStringLiteral("settings.txt"))),
                 QFileInfo(QStringLiteral(QUORREL_EXECUTABLE)).absolutePath().toUtf8() + "\n");
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
