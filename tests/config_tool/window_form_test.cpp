// The main window as the form builds it: the start state, the value ranges the drive
// conversions rely on, menus and shortcuts, focus order and the rich help texts.
#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QFont>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>

#include "morvane_test_support.h"
#include "output_capture.h"

namespace {
struct SpinField {
    const char* axis1;
    const char* axis2;
    int minimum, maximum, step, start;
};

const SpinField kSpinFields[] = {
    {"contcurrM1", "contcurrM2", 0, 11000, 200, 2000},
    {"peakcurrM1", "peakcurrM2", 0, 20000, 200, 4000},
    {"ferrorM1", "ferrorM2", 1, 16383, 100, 500},
    {"multM1", "multM2", 1, 20, 1, 1},
    {"gainPM1", "gainPM2", 0, 32767, 50, 500},
    {"gainIM1", "gainIM2", 0, 32767, 25, 100},
    {"gainDM1", "gainDM2", 0, 32767, 50, 500},
};

// A rich tooltip as the user reads it: its paragraphs (empty ones included) and its bold runs.
struct RichText {
    QStringList paragraphs;
    QStringList bold;
    QStringList boldColours;
    QString family;
    double pointSize = 0;
};

RichText readRich(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    RichText rich;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        rich.paragraphs << block.text();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().fontWeight() >= QFont::DemiBold) {
                rich.bold << fragment.text();
                rich.boldColours << fragment.charFormat().foreground().color().name();
            }
        }
    }
    const QTextCharFormat first = document.begin().begin().fragment().charFormat();
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QStringList families = first.fontFamilies().toStringList();
    rich.family = families.isEmpty() ? QString() : families.first();
#else
    rich.family = first.fontFamily();
#endif
    rich.pointSize = first.fontPointSize();
    return rich;
}

QStringList withEmptiesBetween(const QStringList& paragraphs) {
    QStringList out;
    for (const QString& paragraph : paragraphs) {
        if (!out.isEmpty()) {
            out << "";
        }
        out << paragraph;
    }
    return out;
}

}  // namespace

TEST(WindowForm, FreshWindowIsDisconnectedWithItsStartValuesAndPrintsNothing) {
    OutputCapture capture;
    {
        Morvane window;
        EXPECT_EQ(window.windowTitle(), "Morvane");
        EXPECT_EQ(window.size(), QSize(424, 648));
        EXPECT_FALSE(window.windowIcon().isNull());
        EXPECT_FALSE(window.connected);
        EXPECT_EQ(window.firmwareVersion, -1);
        EXPECT_FALSE(window.ui.disableButton->isEnabled());
        EXPECT_FALSE(window.ui.applyButton->isEnabled());
        EXPECT_FALSE(window.ui.testButton->isEnabled());
        EXPECT_TRUE(window.ui.connectButton->isEnabled());
        EXPECT_EQ(window.ui.axisTabs->tabText(0), "Axis 1");
        EXPECT_EQ(window.ui.axisTabs->tabText(1), "Axis 2");
        EXPECT_EQ(window.ui.axisTabs->currentIndex(), 0);
        EXPECT_FALSE(window.plotDialog.isVisible());
        for (QAction* action : window.findChildren<QAction*>()) {
            EXPECT_FALSE(action->isChecked()) << action->objectName().toStdString();
        }
    }
    // Connecting the slots by name complains about nothing.
    EXPECT_EQ(capture.err(), "");
    EXPECT_EQ(capture.out(), "");
}

TEST(WindowForm, FieldsHaveTheRangesTheDriveConversionsRelyOn) {
    Morvane window;
    for (const SpinField& field : kSpinFields) {
        for (const char* name : {field.axis1, field.axis2}) {
            SCOPED_TRACE(name);
            auto* box = window.findChild<QSpinBox*>(name);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->singleStep(), field.step);
            EXPECT_EQ(box->value(), field.start);
            box->setValue(field.maximum + 1);
            EXPECT_EQ(box->value(), field.maximum);
            box->setValue(field.minimum - 1);
            EXPECT_EQ(box->value(), field.minimum);
        }
    }
    EXPECT_DOUBLE_EQ(window.ui.inductanceM1->value(), 5.0);
    EXPECT_DOUBLE_EQ(window.ui.resistanceM2->value(), 1.0);
    for (QDoubleSpinBox* box : {window.ui.inductanceM1, window.ui.inductanceM2,
                                window.ui.resistanceM1, window.ui.resistanceM2}) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_EQ(box->decimals(), 2);
        EXPECT_DOUBLE_EQ(box->maximum(), 50.0);
        box->setValue(0.0);
        EXPECT_DOUBLE_EQ(box->value(), 0.05);
        box->stepUp();
        EXPECT_DOUBLE_EQ(box->value(), 0.10);
    }
    EXPECT_EQ(window.findChild<QWidget*>("slaveAxisM1"), nullptr);  // only axis 2 follows
}

TEST(WindowForm, MenusShortcutsAndImages) {
    Morvane window;
    auto titles = [](const QList<QAction*>& actions) {
        QStringList list;
        for (QAction* action : actions) {
            list << (action->isSeparator() ? QString("---") : action->text());
        }
        return list;
    };
    EXPECT_EQ(titles(window.ui.menubar->actions()), (QStringList{"&File", "&Diagnosis", "&Help"}));
    EXPECT_EQ(titles(window.ui.menu_File->actions()),
              (QStringList{"Open configuration", "Save configuration as...", "---", "&Quit"}));
    EXPECT_EQ(titles(window.ui.menuSettings->actions()),
              (QStringList{"Drive diagnosis", "Show response graph after test"}));
    EXPECT_EQ(titles(window.ui.menuShow_response_graph_after_test->actions()),
              (QStringList{"Span 100 ms", "Span 500 ms", "Span 2000 ms"}));
    EXPECT_EQ(titles(window.ui.menu_Help->actions()),
              (QStringList{"Open help (PDF)", "About Morvane"}));
    const struct {
        QAction* action;
        const char* shortcut;
    } shortcuts[] = {
        {window.ui.Open_configuration, "Ctrl+O"}, {window.ui.Save_configuration, "Ctrl+S"},
        {window.ui.Drive_diagnosis, "Ctrl+D"},    {window.ui.span_100_ms, "Ctrl+1"},
        {window.ui.span_500_ms, "Ctrl+2"},        {window.ui.span_2000_ms, "Ctrl+3"}};
    for (const auto& item : shortcuts) {
        EXPECT_EQ(item.action->shortcut(), QKeySequence(item.shortcut)) << item.shortcut;
    }
    EXPECT_EQ(window.ui.disableButton->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_EQ(window.ui.connectButton->text(), "&Connect");
    EXPECT_EQ(QImage(":/velmora64x64.png").size(), QSize(64, 64));
    EXPECT_EQ(QImage(":/fileopen.xpm").size(), QSize(32, 32));
    EXPECT_EQ(QImage(":/filesave.xpm").size(), QSize(32, 32));
    EXPECT_EQ(QImage(":/logoWideUp24wide.png").size(), QSize(24, 186));
}

TEST(WindowForm, FocusMovesThroughAxisOneTheButtonsThenAxisTwo) {
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

TEST(WindowForm, RichHelpTextsHaveTheirParagraphsBoldWordsAndFont) {
    Morvane window;
    const struct {
        QWidget* widget;
        QStringList paragraphs;
        QStringList bold;
        bool emptiesBetween;
    } tips[] = {
        {window.ui.disableButton,
         {"Disables drive power stage. Drive is re-enabled by Apply-button.",
          "Caution: this is software based disable. DO NOT RELY ON THIS FOR EMERGENCENCY "
          "STOPPING! Always have a fast way to shut down drive power supply."},
         {"Caution:"},
         true},
        {window.ui.applyButton,
         {"Apply will:", "-Upload and save present settings to drive", "-Clear possible faults",
          "-Re-enable drive if disabled"},
         {"Upload", "save", "Clear", "Re-enable"},
         false},
        {window.ui.gainDM2,
         {"This sets position controller derivative servo gain.",
          "See manual from help menu for proper PID tuning procedure."},
         {"derivative"},
         true},
    };
    for (const auto& tip : tips) {
        SCOPED_TRACE(tip.widget->objectName().toStdString());
        const RichText rich = readRich(tip.widget->toolTip());
        EXPECT_EQ(rich.paragraphs,
                  tip.emptiesBetween ? withEmptiesBetween(tip.paragraphs) : tip.paragraphs);
        EXPECT_EQ(rich.bold, tip.bold);
        EXPECT_EQ(rich.family, "DejaVu Sans");
        EXPECT_DOUBLE_EQ(rich.pointSize, 9.0);
    }
    EXPECT_EQ(readRich(window.ui.disableButton->toolTip()).boldColours, QStringList{"#c90000"});
    // Axis 2's motor fields carry the plain texts.
    EXPECT_FALSE(Qt::mightBeRichText(window.ui.contcurrM2->toolTip()));
    EXPECT_TRUE(window.ui.contcurrM2->toolTip().startsWith(
        "Set motor continuous current limit. See motor specifications"));
    EXPECT_EQ(window.ui.connectButton->toolTip(),
              "Establish a USB connection to drive and import settings.");
}
