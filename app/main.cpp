#include <chrono>

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "app/FrameClock.h"
#include "imageio/PictureMemory.h"
#include "ui/Quorrel.h"

namespace {

// One refresh of the screen the window is on; 60 Hz where it does not say.
std::chrono::duration<double> refreshInterval(const QWidget& window)
{
    const double rate = window.screen() ? window.screen()->refreshRate() : 0.0;
    return std::chrono::duration<double>(1.0 / (rate >= 1.0 ? rate : 60.0));
}

// Notes whether the application delivered any event, other than the frame
// loop's own wake-up, since it was last asked. Every change to what the view
// shows is made while an event is handled.
class ActivityWatch : public QObject {
public:
    explicit ActivityWatch(const QObject* ownTimer)
        : m_ownTimer(ownTimer)
    {
    }

    bool takeActivity()
    {
        const bool active = m_active;
        m_active = false;
        return active;
    }

protected:
    bool eventFilter(QObject* watched, QEvent*) override
    {
        if (watched != m_ownTimer)
            m_active = true;
        return false;
    }

private:
    const QObject* m_ownTimer;
    bool m_active = true;
};

} // namespace

int main(int argc, char* argv[])
{
    quorrel::keepFreedPictureMemory();
    QApplication application(argc, argv);
    {
        Quorrel window;
        window.showMaximized();
        FrameClock clock;
        clock.start();
        QTimer wake;
        wake.setSingleShot(true);
        ActivityWatch activity(&wake);
        application.installEventFilter(&activity);
        // The program drives itself: events, then one frame. The view asks
        // for the buffer swap to wait for the display; where the driver does
        // not, a pass ends long before the next refresh, and the loop waits
        // for input for the rest of it. A pass in which nothing happened
        // draws nothing: the last frame still shows what there is to see.
        // All commands run inside processEvents.
        while (window.isRunning()) {
            const auto passStart = std::chrono::steady_clock::now();
            QApplication::processEvents(QEventLoop::AllEvents);
            window.updateFrame(clock.secondsSincePreviousPass());
            if (activity.takeActivity())
                window.renderFrame();
            const auto rest = refreshInterval(window) - (std::chrono::steady_clock::now() - passStart);
            const int restMilliseconds = static_cast<int>(std::chrono::duration<double, std::milli>(rest).count());
            if (restMilliseconds > 0 && window.isRunning()) {
                wake.start(restMilliseconds);
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
        }
    }
    return 0;
}
