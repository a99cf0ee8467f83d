// The one place where the drive link reaches into a window: after a command sequence, drain the
// answers still in flight and, when the link failed, tell the user and drop to disconnected.
#pragma once

class QStatusBar;
class QWidget;

// What reportLinkError needs of a main window.
class LinkErrorWindow {
public:
    virtual QWidget* linkErrorParent() = 0;         // parent of the message box
    virtual QStatusBar* linkErrorStatusBar() = 0;   // where "Connection lost" goes
    virtual void setConnected(bool connected) = 0;  // the disconnected state, with false

protected:
    ~LinkErrorWindow() = default;
};

// Sends two no-ops with a copy of `error`; when the copy ends up set, shows the status text and
// the "CRC error" box and switches the window to disconnected. Returns whether the link is lost.
bool reportLinkError(LinkErrorWindow& window, bool error);
