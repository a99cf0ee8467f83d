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

TEST(ReportLinkError, DrainsWithTwoNoOpsAndReportsAnIncomingOrALateError) {
    struct Case {
        const char* name;
        bool incoming, fallSilent, reported;
    } cases[] = {{"clean", false, false, false},
                 {"incoming error", true, false, true},
                 {"drive fell silent after the sequence", false, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FerroxBench bench = installFerroxDrive();
        ASSERT_TRUE(openLink(true));
        size_t start = bench.adapter.frameLog().size();
        if (c.fallSilent) {
            bench.adapter.faults().stopAnsweringAfterFrames = long(start);
        }
        TestWindow window;
        MessageBoxWatcher watcher;
        EXPECT_EQ(reportLinkError(window, c.incoming), c.reported);
        EXPECT_EQ(describeBoxes(watcher), c.reported ? QStringList{kLostBox} : QStringList{});
        EXPECT_EQ(window.statusBar()->currentMessage(),
                  c.reported ? "Connection lost, reconnect." : "");
        EXPECT_EQ(window.connectedCalls,
                  c.reported ? std::vector<bool>{false} : std::vector<bool>{});
        if (!c.fallSilent) {
            ASSERT_EQ(bench.adapter.frameLog().size(), start + 2);
            EXPECT_EQ(bench.adapter.frameLog()[start].command, 2);
            EXPECT_EQ(bench.adapter.frameLog()[start + 1].command, 2);
        }
    }
}

TEST(ReportLinkError, AbsentLinkIsLostInBothDialectsWithTheirOwnNoOp) {
    for (LinkDialect dialect : {LinkDialect::Firmware, LinkDialect::Bootloader}) {
        installFerroxDrive();  // never opened
        setLinkDialect(dialect);
        TestWindow window;
        MessageBoxWatcher watcher;
        OutputCapture capture;
        EXPECT_TRUE(reportLinkError(window, false));
        setLinkDialect(LinkDialect::Firmware);
        EXPECT_EQ(capture.out(), dialect == LinkDialect::Firmware
                                     ? "002,00000 Not conencted\n002,00000 Not conencted\n"
                                     : "001,00000 Not conencted\n001,00000 Not conencted\n");
        EXPECT_EQ(describeBoxes(watcher), QStringList{kLostBox});
        EXPECT_EQ(window.connectedCalls, std::vector<bool>{false});
    }
}
