#pragma once

// Helpers shared by the widget tests: a scratch working directory, answering
// modal dialogs from the test, and small images written to disk.

#include <functional>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace testsupport {

// Runs the test inside a fresh temporary working directory, so that
// "settings.txt" of one test never reaches another.
class ScratchDirectory {
public:
    ScratchDirectory()
        : previous(QDir::currentPath())
    {
        QDir::setCurrent(directory.path());
    }
    ~ScratchDirectory() { QDir::setCurrent(previous); }

    QString path() const { return directory.path(); }
    QString filePath(const QString& name) const { return directory.filePath(name); }

private:
    QTemporaryDir directory;
    QString previous;
};

// What a modal dialog looked like when the test answered it.
struct ModalRecord {
    bool seen = false;
    QString title;
    QString text;
    // A dialog that never came leaves its poll behind; it must not outlive
    // the record it would fill.
    QPointer<QTimer> pending;

    ModalRecord() = default;
    ModalRecord(const ModalRecord&) = delete;
    ModalRecord& operator=(const ModalRecord&) = delete;
    ~ModalRecord() { delete pending.data(); }
};

// Polls until a modal widget is active, records it and closes it (accepting
// message boxes with their default button). Call before the action that
// opens the dialog; the record is filled once the dialog has appeared.
inline void answerNextModal(ModalRecord* record, std::function<void(QWidget*)> answer = {})
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    if (record)
        record->pending = timer;
    QObject::connect(timer, &QTimer::timeout, [timer, record, answer]() {
        QWidget* modal = QApplication::activeModalWidget();
        // A dialog that was shown before its exec() runs without being
        // registered as modal; find it among the visible windows.
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!modal && window->isVisible() && qobject_cast<QDialog*>(window))
                modal = window;
        }
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        if (record) {
            record->seen = true;
            record->title = modal->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                record->text = box->text();
        }
        if (answer) {
            answer(modal);
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->accept();
        } else {
            modal->close();
        }
    });
    timer->start();
}

// The named child widget or action; a missing one ends the test program.
template <typename T> T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("missing child %s", name);
    return found;
}

// Clicks the named push button, as a user does.
inline void clickButton(QObject* parent, const char* name)
{
    QTest::mouseClick(child<QPushButton>(parent, name), Qt::LeftButton);
}

// Writes an image whose top-left pixel is at y = 0 as seen in any viewer.
inline QString writeImage(const QString& path, const QImage& image)
{
    image.save(path);
    return path;
}

inline QString writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("could not write %s", qPrintable(path));
    return path;
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace testsupport
