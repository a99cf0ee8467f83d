// The configuration program's window runs Connect and the step test on a worker thread: the
// window goes on answering while they run, and Stop ends either at the next frame with
// "Stopped", no lost-link box, and a drive the next Connect takes up again.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "message_box_watcher.h"
#include "morvane.h"
#include "output_capture.h"
#include "sim_fixture.h"

namespace {
// Presses Stop as soon as the sequence reaches its second phase (the import, the download).
class StopAtSecondPhase : public QObject {
public:
    explicit StopAtSecondPhase(Morvane& window) {
        connect(&timer_, &QTimer::timeout, this, [this, &window] {
            auto* bar = window.findChild<QProgressBar*>("progressBar");
            auto* stop = window.findChild<QPushButton*>("stopButton");
            if (bar->isVisible() && bar->maximum() == 2 && bar->value() == 1 && stop->isEnabled()) {
                stop->click();
                pressed = true;
                timer_.stop();
            }
        });
        timer_.start(1);
    }
    bool pressed = false;

private:
    QTimer timer_;
};

QStringList titlesOf(const MessageBoxWatcher& watcher) {
    QStringList titles;
    for (const SeenBox& box : watcher.boxes()) {
        titles << box.title;
    }
    return titles;
}
}  // namespace

TEST(WindowStop, ConnectAndTheStepTestStopAtTheNextFrameAndTheDriveIsTakenUpAgain) {
    FerroxBench bench = installFerroxDrive();
    bench.adapter.setLatencyMs(1.0);  // slow enough for a person's Stop to land inside the work
    OutputCapture quiet;
    Morvane window;
    window.show();
    MessageBoxWatcher watcher;
    int ticks = 0;  // the window's own timer goes on while the drive works
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);

    {
        StopAtSecondPhase stop(window);
        QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
        EXPECT_TRUE(stop.pressed);
    }
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Stopped");
    EXPECT_EQ(titlesOf(watcher), QStringList{"Connecting"}) << "no lost-link box";
    EXPECT_FALSE(window.connected);
    EXPECT_GT(ticks, 5);

    QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
    ASSERT_TRUE(window.connected);
    window.ui.span_100_ms->trigger();
    watcher.clear();
    {
        StopAtSecondPhase stop(window);
        QTest::mouseClick(window.ui.testButton, Qt::LeftButton);
        EXPECT_TRUE(stop.pressed);
    }
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Stopped");
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_FALSE(window.connected);
    EXPECT_FALSE(window.findChild<QProgressBar*>("progressBar")->isVisible());

    QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
    ASSERT_TRUE(window.connected);
    QTest::mouseClick(window.ui.testButton, Qt::LeftButton);
    EXPECT_TRUE(window.ui.statusbar->currentMessage().startsWith("Peak error"))
        << window.ui.statusbar->currentMessage().toStdString();
    window.close();
}
