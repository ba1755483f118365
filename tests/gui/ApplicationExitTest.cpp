// Starts the real program on the test's X display, ends it through File >
// Exit's shortcut, and checks the exit code and the written settings file.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "GuiTestSupport.h"

class ApplicationExitTest : public QObject {
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

        QFile settings(scratch.filePath(QStringLiteral("settings.txt")));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray expected = QFileInfo(QStringLiteral(QUORREL_EXECUTABLE)).absolutePath().toUtf8() + "\n";
        QCOMPARE(settings.readAll(), expected);
    }
};

QTEST_GUILESS_MAIN(ApplicationExitTest)
#include "ApplicationExitTest.moc"
