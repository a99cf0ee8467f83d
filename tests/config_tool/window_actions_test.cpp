// The window's own actions: the two widget states, span choice, Quit and close, help, About.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QStatusBar>
#include <QUrl>
#include <QtTest/QTest>

#include "drive_link.h"
#include "morvane_test_support.h"
#include "output_capture.h"

namespace {
// Stands in for the desktop's viewer: records what the window asked it to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

QStringList checkedSpans(Morvane& window) {
    QStringList names;
    for (QAction* action : {window.ui.span_100_ms, window.ui.span_500_ms, window.ui.span_2000_ms}) {
        if (action->isChecked()) {
            names << action->objectName();
        }
    }
    return names;
}

size_t countOf(const std::vector<drive_sim::AdapterCallRecord>& calls,
               drive_sim::AdapterCall call) {
    size_t count = 0;
    for (const auto& record : calls) {
        count += record.call == call;
    }
    return count;
}
}  // namespace

TEST(WindowStates, SetConnectedSwitchesTheThreeDriveButtonsAndTheMembers) {
    Morvane window;
    window.firmwareVersion = 2210;
    window.setConnected(true);
    EXPECT_TRUE(window.connected);
    EXPECT_EQ(window.firmwareVersion, 2210);
    EXPECT_TRUE(window.ui.testButton->isEnabled());
    EXPECT_TRUE(window.ui.applyButton->isEnabled());
    EXPECT_TRUE(window.ui.disableButton->isEnabled());

    window.setConnected(false);
    EXPECT_FALSE(window.connected);
    EXPECT_EQ(window.firmwareVersion, -1);
    EXPECT_FALSE(window.ui.testButton->isEnabled());
    EXPECT_FALSE(window.ui.applyButton->isEnabled());
    EXPECT_FALSE(window.ui.disableButton->isEnabled());
    EXPECT_TRUE(window.ui.connectButton->isEnabled());
    EXPECT_TRUE(window.ui.Drive_diagnosis->isEnabled());
}

TEST(SpanChoice, AtMostOneSpanIsCheckedAndChoosingItAgainClearsIt) {
    Morvane window;
    EXPECT_TRUE(checkedSpans(window).isEmpty());
    window.ui.span_100_ms->trigger();
    EXPECT_EQ(checkedSpans(window), QStringList{"span_100_ms"});
    window.ui.span_500_ms->trigger();
    EXPECT_EQ(checkedSpans(window), QStringList{"span_500_ms"});
    window.ui.span_2000_ms->trigger();
    EXPECT_EQ(checkedSpans(window), QStringList{"span_2000_ms"});
    window.ui.span_100_ms->trigger();
    EXPECT_EQ(checkedSpans(window), QStringList{"span_100_ms"});
    window.ui.span_100_ms->trigger();
    EXPECT_TRUE(checkedSpans(window).isEmpty());
    window.ui.span_500_ms->trigger();
    window.ui.span_500_ms->trigger();
    EXPECT_TRUE(checkedSpans(window).isEmpty());
}

TEST(Quit, NeverConnectedClosesTheWindowWithoutTouchingTheAdapter) {
    FerroxBench bench = installFerroxDrive();
    Morvane window;
    window.show();
    OutputCapture capture;
    window.ui.Quit->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(bench.adapter.callLog().empty());
    EXPECT_EQ(capture.out(), "");
}

TEST(Quit, ConnectedClosesTheAdapterOnce) {
    FerroxBench bench = installFerroxDrive();
    Morvane window;
    window.show();
    MessageBoxWatcher watcher;
    ASSERT_TRUE(clickConnect(window));
    OutputCapture capture;
    window.ui.Quit->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(capture.out(), "USB closed\n");
    EXPECT_EQ(countOf(bench.adapter.callLog(), drive_sim::AdapterCall::Close), 1u);
    EXPECT_FALSE(linkState.linkOpen);
}

TEST(CloseWindow, ClosesTheResponseDialogAndTheAdapter) {
    FerroxBench bench = installFerroxDrive();
    Morvane window;
    window.show();
    MessageBoxWatcher watcher;
    ASSERT_TRUE(clickConnect(window));
    window.plotDialog.show();
    ASSERT_TRUE(window.plotDialog.isVisible());
    OutputCapture capture;
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.plotDialog.isVisible());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(capture.out(), "USB closed\n");
    EXPECT_FALSE(linkState.linkOpen);
    EXPECT_EQ(countOf(bench.adapter.callLog(), drive_sim::AdapterCall::Close), 1u);
}

TEST(OpenHelp, OpensTheManualInTheWorkingDirectoryOnlyWhenItIsThere) {
    ScratchDir scratch;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(scratch.root()));
    UrlRecorder viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "open");

    Morvane window;
    MessageBoxWatcher watcher;
    window.ui.Open_help_PDF->trigger();
    EXPECT_TRUE(viewer.opened.isEmpty());
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "");

    writeFile(scratch.path("MorvaneManual.pdf"), "%PDF-1.4\n");
    window.ui.Open_help_PDF->trigger();
    ASSERT_EQ(viewer.opened.size(), 1);
    EXPECT_EQ(viewer.opened.first(),
              QUrl::fromLocalFile(QDir::currentPath() + "/MorvaneManual.pdf"));
    EXPECT_TRUE(watcher.boxes().empty());

    QDesktopServices::unsetUrlHandler("file");
    QDir::setCurrent(previous);
}

TEST(About, ShowsTheVersionAndTheDrivesItServes) {
    Morvane window;
    MessageBoxWatcher watcher;
    window.ui.About_Morvane->trigger();
    ASSERT_EQ(watcher.boxes().size(), 1u);
    EXPECT_EQ(watcher.boxes()[0].title, "About Morvane");
    EXPECT_TRUE(watcher.boxes()[0].text.startsWith(
        "<b>Morvane</b> version 1.0.0<br>Use with KMR-20/30 drives with Ferrox firmware<br>"));
    EXPECT_GT(watcher.boxes()[0].text.size(),
              QString("<b>Morvane</b> version 1.0.0<br>Use with KMR-20/30 drives with Ferrox "
                      "firmware<br>")
                  .size());
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "About...");
}

#include "window_actions_test.moc"
