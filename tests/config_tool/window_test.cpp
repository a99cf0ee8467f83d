// The window a user meets before any drive is involved: start values, span choice, focus order,
// help texts, shortcuts, Quit and close, help and About.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFont>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

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

}  // namespace

TEST(Window, FreshWindowIsDisconnectedQuietAndHoldsItsStartValues) {
    OutputCapture capture;
    Morvane window;
    const std::string printed = capture.out() + capture.err();
    capture.stop();
    EXPECT_EQ(printed, "");
    EXPECT_EQ(window.windowTitle(), "Morvane");
    EXPECT_FALSE(window.connected);
    EXPECT_EQ(window.firmwareVersion, -1);
    EXPECT_TRUE(window.ui.connectButton->isEnabled());
    for (QWidget* button : {window.ui.disableButton, window.ui.applyButton, window.ui.testButton}) {
        EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
    }
    // Minimum, maximum, step and start value: the ranges clamp what a file or a drive brings in.
    const std::pair<const char*, QString> fields[] = {
        {"contcurr", "0 11000 200 2000"}, {"peakcurr", "0 20000 200 4000"},
        {"inductance", "0.05 50 0.05 5"}, {"resistance", "0.05 50 0.05 1"},
        {"ferror", "1 16383 100 500"},    {"mult", "1 20 1 1"},
        {"gainP", "0 32767 50 500"},      {"gainI", "0 32767 25 100"},
        {"gainD", "0 32767 50 500"}};
    for (const auto& field : fields) {
        for (const char* axis : {"M1", "M2"}) {
            auto* box = window.findChild<QAbstractSpinBox*>(field.first + QString(axis));
            ASSERT_NE(box, nullptr) << field.first << axis;
            QStringList range;
            for (const char* property : {"minimum", "maximum", "singleStep", "value"}) {
                range << box->property(property).toString();
            }
            EXPECT_EQ(range.join(" "), field.second) << field.first << axis;
        }
    }
    for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    }
    EXPECT_EQ(window.findChild<QCheckBox*>("slaveAxisM1"), nullptr);  // only axis 2 follows
}

TEST(Window, AtMostOneSpanIsCheckedAndChoosingItAgainClearsIt) {
    Morvane window;
    QAction* const spans[] = {window.ui.span_100_ms, window.ui.span_500_ms, window.ui.span_2000_ms};
    QString checked;  // which spans are checked after each choice
    for (int choice : {0, 1, 2, 0, 0, 1, 1}) {
        spans[choice]->trigger();
        for (QAction* span : spans) {
            checked += span->isChecked() ? "x" : "-";
        }
        checked += " ";
    }
    EXPECT_EQ(checked, "x-- -x- --x x-- --- -x- --- ");
}

TEST(Window, FocusMovesThroughAxisOneTheButtonsThenAxisTwo) {
    Morvane window;
    const QString expected =
        "axisTabs contcurrM1 peakcurrM1 inductanceM1 resistanceM1 invertM1 encoderfailM1 "
        "antiditherM1 ferrorM1 multM1 gainPM1 gainIM1 gainDM1 connectButton disableButton "
        "applyButton testButton contcurrM2 peakcurrM2 inductanceM2 resistanceM2 invertM2 "
        "encoderfailM2 antiditherM2 slaveAxisM2 ferrorM2 multM2 gainPM2 gainIM2 gainDM2";
    const QStringList named = expected.split(' ');
    QStringList chain;
    QWidget* widget = window.ui.axisTabs;
    do {
        if (named.contains(widget->objectName())) {
            chain << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != window.ui.axisTabs && chain.size() < named.size());
    EXPECT_EQ(chain.join(' '), expected);
}

TEST(Window, HelpTextsReadAsWrittenPlainAndRich) {
    Morvane window;
    EXPECT_EQ(window.ui.connectButton->toolTip(),
              "Establish a USB connection to drive and import settings.");

    // The rich text as a reader sees it: paragraphs with empty ones between, one red bold run.
    const QString html = window.ui.disableButton->toolTip();
    ASSERT_TRUE(Qt::mightBeRichText(html));
    QTextDocument document;
    document.setHtml(html);
    QStringList paragraphs, bold;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        paragraphs << block.text();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.fontWeight() >= QFont::DemiBold) {
                bold << it.fragment().text() + "=" + format.foreground().color().name();
            }
        }
    }
    EXPECT_EQ(paragraphs,
              (QStringList{"Disables drive power stage. Drive is re-enabled by Apply-button.", "",
                           "Caution: this is software based disable. DO NOT RELY ON THIS FOR "
                           "EMERGENCENCY STOPPING! Always have a fast way to shut down drive "
                           "power supply."}));
    EXPECT_EQ(bold, QStringList{"Caution:=#c90000"});
    EXPECT_DOUBLE_EQ(document.begin().begin().fragment().charFormat().fontPointSize(), 9.0);
}

TEST(Window, ButtonsAndActionsHaveTheirShortcuts) {
    Morvane window;
    QStringList keys;
    for (QAbstractButton* button : {window.ui.connectButton, window.ui.applyButton,
                                    window.ui.testButton, window.ui.disableButton}) {
        keys << button->shortcut().toString();
    }
    for (QAction* action :
         {window.ui.Open_configuration, window.ui.Save_configuration, window.ui.Drive_diagnosis,
          window.ui.span_100_ms, window.ui.span_500_ms, window.ui.span_2000_ms}) {
        keys << action->shortcut().toString();
    }
    EXPECT_EQ(keys.join(" "), "Alt+C Alt+A Alt+T Esc Ctrl+O Ctrl+S Ctrl+D Ctrl+1 Ctrl+2 Ctrl+3");
}

TEST(Window, QuitAndCloseCloseTheLinkOnceAndOnlyWhenItWasOpened) {
    const struct {
        const char* name;
        bool connect;
        bool byQuit;
    } cases[] = {{"quit, never connected", false, true},
                 {"quit, connected", true, true},
                 {"close, connected", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FerroxBench bench = installFerroxDrive();
        Morvane window;
        window.show();
        MessageBoxWatcher watcher;
        if (c.connect) {
            ASSERT_TRUE(clickConnect(window));
        }
        window.plotDialog.show();
        const size_t callsBefore = bench.adapter.callLog().size();
        OutputCapture capture;
        if (c.byQuit) {
            window.ui.Quit->trigger();
        } else {
            EXPECT_TRUE(window.close());
        }
        const std::string printed = capture.out();
        capture.stop();
        EXPECT_FALSE(window.isVisible());
        EXPECT_FALSE(window.plotDialog.isVisible());
        EXPECT_FALSE(linkState.linkOpen);
        EXPECT_EQ(printed, c.connect ? "USB closed\n" : "");
        const auto& calls = bench.adapter.callLog();
        EXPECT_EQ(calls.size() - callsBefore, c.connect ? 1u : 0u);  // one close, nothing else
        if (c.connect) {
            EXPECT_EQ(calls.back().call, drive_sim::AdapterCall::Close);
        }
    }
}

TEST(Window, OpenHelpOpensTheManualOfTheWorkingDirectoryElseTheInstalledOne) {
    ScratchDir work;
    ScratchDir installed;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work.root()));
    UrlRecorder viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "open");
    Morvane window;
    window.installedManualFolder = installed.root();
    MessageBoxWatcher watcher;
    const QUrl workManual = QUrl::fromLocalFile(QDir::currentPath() + "/MorvaneManual.pdf");
    const QUrl installedManual = QUrl::fromLocalFile(installed.path("MorvaneManual.pdf"));

    window.ui.Open_help_PDF->trigger();  // no manual anywhere: nothing opens
    writeFile(installed.path("MorvaneManual.pdf"), "%PDF-1.4\n");
    window.ui.Open_help_PDF->trigger();
    writeFile(work.path("MorvaneManual.pdf"), "%PDF-1.4\n");
    window.ui.Open_help_PDF->trigger();
    EXPECT_EQ(viewer.opened, (QList<QUrl>{installedManual, workManual}));
    EXPECT_TRUE(watcher.boxes().empty());
    QDesktopServices::unsetUrlHandler("file");
    QDir::setCurrent(previous);
}

TEST(Window, AboutShowsTheVersionAndTheDrivesItServes) {
    Morvane window;
    MessageBoxWatcher watcher;
    window.ui.About_Morvane->trigger();
    ASSERT_EQ(watcher.boxes().size(), 1u);
    EXPECT_EQ(watcher.boxes()[0].title, "About Morvane");
    EXPECT_TRUE(watcher.boxes()[0].text.startsWith(
        "<b>Morvane</b> version 1.0.0<br>Use with KMR-20/30 drives with Ferrox firmware<br>"));
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "About...");
}

#include "window_test.moc"
