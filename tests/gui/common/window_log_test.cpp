// A window's log: its warnings and errors reach the user in the status bar, its details stay on
// standard error for a terminal.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QStatusBar>

#include "output_capture.h"
#include "window_front_end.h"

namespace {
class WindowOnly : public widgets::WindowFrontEnd<drive_link::FrontEnd> {
public:
    using WindowFrontEnd::WindowFrontEnd;
    void setConnected(bool) override {}
};
}  // namespace

TEST(WindowLog, ErrorsAndWarningsInTheStatusBarEveryLineOnStandardError) {
    QMainWindow window;
    WindowOnly frontEnd(&window);
    window.statusBar()->showMessage("Flashing...");
    OutputCapture capture;
    frontEnd.log(drive_link::LogLevel::Info, "File checksum 1234\n");
    EXPECT_EQ(window.statusBar()->currentMessage(), "Flashing...");
    frontEnd.log(drive_link::LogLevel::Error, "Error while flashing, status 00, faultbits 0000\n");
    EXPECT_EQ(window.statusBar()->currentMessage(),
              "Error while flashing, status 00, faultbits 0000");
    EXPECT_EQ(capture.err(),
              "File checksum 1234\nError while flashing, status 00, faultbits 0000\n");
}
