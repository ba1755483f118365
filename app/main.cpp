#include <QApplication>

#include "app/FrameClock.h"
#include "ui/Quorrel.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    {
        Quorrel window;
        window.showMaximized();
        FrameClock clock;
        clock.start();
        // The program drives itself: events, then one frame, as fast as the
        // buffer swap allows. All commands run inside processEvents.
        while (window.isRunning()) {
            QApplication::processEvents(QEventLoop::AllEvents);
            window.updateFrame(clock.secondsSincePreviousPass());
            window.renderFrame();
        }
    }
    return 0;
}
