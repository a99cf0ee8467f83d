// The link check at the end of a sequence, through a minimal window.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QStatusBar>

#include "drive_link.h"
#include "link_error_report.h"
#include "message_box_watcher.h"
#include "output_capture.h"
#include "sim_fixture.h"
#include "window_front_end.h"

namespace {
class TestWindow : public QMainWindow, public WindowFrontEnd<FrontEnd> {
public:
    TestWindow() : WindowFrontEnd(this) {}
    void setConnected(bool connected) override { connectedCalls.push_back(connected); }
    std::vector<bool> connectedCalls;
};

const QString kLostBox =
    "critical|CRC error|Connection to drive lost, data checksum error. <br>Ensure that you have "
    "sufficient noise shielding in cables.";
}  // namespace

TEST(ReportLinkError, DrainsWithTwoNoOpsAndReportsAnIncomingLateOrAbsentLink) {
    struct Case {
        const char* name;
        bool open, incoming, fallSilent;
        LinkDialect dialect;
        const char* trace;  // compared when the link is absent
    } cases[] = {
        {"clean", true, false, false, LinkDialect::Firmware, nullptr},
        {"incoming error", true, true, false, LinkDialect::Firmware, nullptr},
        {"fell silent after the sequence", true, false, true, LinkDialect::Firmware, nullptr},
        {"absent", false, false, false, LinkDialect::Firmware,
         "002,00000 Not conencted\n002,00000 Not conencted\n"},
        {"absent, flasher", false, false, false, LinkDialect::Bootloader,
         "001,00000 Not conencted\n001,00000 Not conencted\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FerroxBench bench = installFerroxDrive();
        if (c.open) {
            ASSERT_TRUE(openLink(true));
        }
        size_t start = bench.adapter.frameLog().size();
        if (c.fallSilent) {
            bench.adapter.faults().stopAnsweringAfterFrames = long(start);
        }
        setLinkDialect(c.dialect);
        bool reported = !c.open || c.incoming || c.fallSilent;
        TestWindow window;
        MessageBoxWatcher watcher;
        OutputCapture capture;
        EXPECT_EQ(reportLinkError(window, c.incoming), reported);
        setLinkDialect(LinkDialect::Firmware);
        EXPECT_EQ(describeBoxes(watcher), reported ? QStringList{kLostBox} : QStringList{});
        EXPECT_EQ(window.statusBar()->currentMessage(),
                  reported ? "Connection lost, reconnect." : "");
        EXPECT_EQ(window.connectedCalls, reported ? std::vector<bool>{false} : std::vector<bool>{});
        if (c.trace) {
            EXPECT_EQ(capture.out(), c.trace);
        } else if (!c.fallSilent) {
            const auto& log = bench.adapter.frameLog();
            ASSERT_EQ(log.size(), start + 2);
            EXPECT_TRUE(log[start].command == 2 && log[start + 1].command == 2);
        }
    }
}
