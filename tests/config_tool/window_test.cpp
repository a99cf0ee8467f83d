// The window a user meets before any drive is involved: start values, span choice, focus order,
// help texts, shortcuts, Quit and close, help and About.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFont>
#include <QSpinBox>
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

// Minimum, maximum, step and value of an integer or a two-decimal field.
std::vector<double> rangeOf(QObject* field) {
    if (auto* box = qobject_cast<QSpinBox*>(field)) {
        return {double(box->minimum()), double(box->maximum()), double(box->singleStep()),
                double(box->value())};
    }
    auto* box = qobject_cast<QDoubleSpinBox*>(field);
    if (!box || box->decimals() != 2) {
        return {};
    }
    return {box->minimum(), box->maximum(), box->singleStep(), box->value()};
}
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
    EXPECT_EQ(window.ui.axisTabs->tabText(0) + "|" + window.ui.axisTabs->tabText(1),
              "Axis 1|Axis 2");

    // The ranges clamp what a file or a drive brings in; the steps and start values are the
    // user's first impression of the drive's settings.
    const struct {
        const char* name;
        std::vector<double> range;
    } fields[] = {
        {"contcurr", {0, 11000, 200, 2000}}, {"peakcurr", {0, 20000, 200, 4000}},
        {"inductance", {0.05, 50, 0.05, 5}}, {"resistance", {0.05, 50, 0.05, 1}},
        {"ferror", {1, 16383, 100, 500}},    {"mult", {1, 20, 1, 1}},
        {"gainP", {0, 32767, 50, 500}},      {"gainI", {0, 32767, 25, 100}},
        {"gainD", {0, 32767, 50, 500}},
    };
    for (const auto& field : fields) {
        for (const char* axis : {"M1", "M2"}) {
            const QString name = QString(field.name) + axis;
            EXPECT_EQ(rangeOf(window.findChild<QObject*>(name)), field.range) << name.toStdString();
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
    const struct {
        int trigger;
        const char* checked;  // empty: none
    } steps[] = {{0, "span_100_ms"},
                 {1, "span_500_ms"},
                 {2, "span_2000_ms"},
                 {0, "span_100_ms"},
                 {0, ""},
                 {1, "span_500_ms"},
                 {1, ""}};
    for (const auto& step : steps) {
        spans[step.trigger]->trigger();
        QStringList checked;
        for (QAction* span : spans) {
            if (span->isChecked()) {
                checked << span->objectName();
            }
        }
        EXPECT_EQ(checked.join(","), step.checked) << "after " << step.trigger;
    }
}

TEST(Window, FocusMovesThroughAxisOneTheButtonsThenAxisTwo) {
    Morvane window;
    const QStringList fields = {"contcurr", "peakcurr",    "inductance", "resistance",
                                "invert",   "encoderfail", "antidither", "ferror",
                                "mult",     "gainP",       "gainI",      "gainD"};
    QStringList expected{"axisTabs"};
    for (const QString& field : fields) {
        expected << field + "M1";
    }
    expected << "connectButton"
             << "disableButton"
             << "applyButton"
             << "testButton";
    for (const QString& field : fields) {
        expected << field + "M2";
        if (field == "antidither") {
            expected << "slaveAxisM2";
        }
    }
    QStringList chain;
    QWidget* widget = window.ui.axisTabs;
    do {
        if (expected.contains(widget->objectName())) {
            chain << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != window.ui.axisTabs && chain.size() < expected.size());
    EXPECT_EQ(chain, expected);
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
    const struct {
        QKeySequence actual;
        QKeySequence expected;
    } keys[] = {
        {window.ui.connectButton->shortcut(), QKeySequence("Alt+C")},
        {window.ui.applyButton->shortcut(), QKeySequence("Alt+A")},
        {window.ui.testButton->shortcut(), QKeySequence("Alt+T")},
        {window.ui.disableButton->shortcut(), QKeySequence(Qt::Key_Escape)},
        {window.ui.Open_configuration->shortcut(), QKeySequence("Ctrl+O")},
        {window.ui.Save_configuration->shortcut(), QKeySequence("Ctrl+S")},
        {window.ui.Drive_diagnosis->shortcut(), QKeySequence("Ctrl+D")},
        {window.ui.span_100_ms->shortcut(), QKeySequence("Ctrl+1")},
        {window.ui.span_500_ms->shortcut(), QKeySequence("Ctrl+2")},
        {window.ui.span_2000_ms->shortcut(), QKeySequence("Ctrl+3")},
    };
    for (const auto& key : keys) {
        EXPECT_EQ(key.actual, key.expected) << key.expected.toString().toStdString();
    }
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
        EXPECT_EQ(calls.size() - callsBefore, c.connect ? 1u : 0u);
        if (c.connect) {
            EXPECT_EQ(calls.back().call, drive_sim::AdapterCall::Close);
        } else {
            EXPECT_TRUE(calls.empty());
        }
    }
}

TEST(Window, OpenHelpOpensTheManualInTheWorkingDirectoryOnlyWhenItIsThere) {
    ScratchDir scratch;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(scratch.root()));
    UrlRecorder viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "open");
    Morvane window;
    MessageBoxWatcher watcher;
    window.ui.Open_help_PDF->trigger();
    EXPECT_TRUE(viewer.opened.isEmpty());

    writeFile(scratch.path("MorvaneManual.pdf"), "%PDF-1.4\n");
    window.ui.Open_help_PDF->trigger();
    EXPECT_EQ(viewer.opened,
              QList<QUrl>{QUrl::fromLocalFile(QDir::currentPath() + "/MorvaneManual.pdf")});
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
