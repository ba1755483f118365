#pragma once

#include <QApplication>
#include <QCursor>

// Shows the busy cursor while a long step runs on the one GUI thread, so the
// user can tell a long computation from a hung window. Short steps end
// before the change can be seen.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }

    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
