// The link check at the end of a sequence, through a minimal window.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QStatusBar>

#include "drive_link.h"
#include "link_error_report.h"
#include "message_box_watcher.h"
#include "output_capture.h"
#include "sim_fixture.h"

namespace {
class TestWindow : public QMainWindow, public LinkErrorWindow {
public:
    QWidget* linkErrorParent() override { return this; }
    QStatusBar* linkErrorStatusBar() override { return statusBar(); }
    void setConnected(bool connected) override { connectedCalls.push_back(connected); }
    std::vector<bool> connectedCalls;
};

const QString kLostBox =
    "critical|CRC error|Connection to drive lost, data checksum error. <br>Ensure that you have "
    "sufficient noise shielding in cables.";
}  // namespace

TEST(ReportLinkError, CleanLinkShowsNothing) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    TestWindow window;
    MessageBoxWatcher watcher;
    size_t start = bench.adapter.frameLog().size();
    EXPECT_FALSE(reportLinkError(window, false));
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_TRUE(window.connectedCalls.empty());
    EXPECT_EQ(window.statusBar()->currentMessage(), "");
    ASSERT_EQ(bench.adapter.frameLog().size(), start + 2);
    EXPECT_EQ(bench.adapter.frameLog()[start].command, 2);
    EXPECT_EQ(bench.adapter.frameLog()[start + 1].command, 2);
}

TEST(ReportLinkError, IncomingErrorIsReportedAfterTheTwoNoOps) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    TestWindow window;
    MessageBoxWatcher watcher;
    size_t start = bench.adapter.frameLog().size();
    EXPECT_TRUE(reportLinkError(window, true));
    EXPECT_EQ(bench.adapter.frameLog().size(), start + 2);
    EXPECT_EQ(describeBoxes(watcher), QStringList{kLostBox});
    EXPECT_EQ(window.statusBar()->currentMessage(), "Connection lost, reconnect.");
    EXPECT_EQ(window.connectedCalls, std::vector<bool>{false});
}

TEST(ReportLinkError, DriveThatFellSilentAfterTheSequenceIsNoticed) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bool error = false;
    transact(2, 0, error);
    ASSERT_FALSE(error);
    bench.adapter.faults().stopAnsweringAfterFrames = long(bench.adapter.frameLog().size());
    TestWindow window;
    MessageBoxWatcher watcher;
    EXPECT_TRUE(reportLinkError(window, error));
    EXPECT_EQ(describeBoxes(watcher), QStringList{kLostBox});
}

TEST(ReportLinkError, AbsentLinkIsLost) {
    installFerroxDrive();  // never opened
    TestWindow window;
    MessageBoxWatcher watcher;
    OutputCapture capture;
    EXPECT_TRUE(reportLinkError(window, false));
    EXPECT_EQ(capture.out(), "002,00000 Not conencted\n002,00000 Not conencted\n");
    EXPECT_EQ(describeBoxes(watcher), QStringList{kLostBox});
    EXPECT_EQ(window.connectedCalls, std::vector<bool>{false});
}

TEST(ReportLinkError, FlasherDrainsWithItsOwnNoOp) {
    installFerroxDrive();
    setLinkDialect(LinkDialect::Bootloader);
    TestWindow window;
    MessageBoxWatcher watcher;
    OutputCapture capture;
    EXPECT_TRUE(reportLinkError(window, false));
    setLinkDialect(LinkDialect::Firmware);
    EXPECT_EQ(capture.out(), "001,00000 Not conencted\n001,00000 Not conencted\n");
    EXPECT_EQ(describeBoxes(watcher), QStringList{kLostBox});
}
