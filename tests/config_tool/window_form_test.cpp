// The main window as the form builds it: widgets, ranges, start values, layout, menus, focus
// order and help texts.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include "morvane_test_support.h"
#include "output_capture.h"

namespace {
struct SpinField {
    const char* axis1;
    const char* axis2;
    int minimum, maximum, step, start;
    const char* caption;
    const char* unit;  // empty when the row has none
    int row;
};

const SpinField kSpinFields[] = {
    {"contcurrM1", "contcurrM2", 0, 11000, 200, 2000, "Motor continuous current", "mA", 0},
    {"peakcurrM1", "peakcurrM2", 0, 20000, 200, 4000, "Motor peak current", "mA", 1},
    {"ferrorM1", "ferrorM2", 1, 16383, 100, 500, "Follow error limit", "counts", 0},
    {"multM1", "multM2", 1, 20, 1, 1, "Step multiplier", "", 1},
    {"gainPM1", "gainPM2", 0, 32767, 50, 500, "P gain (Kp)", "", 2},
    {"gainIM1", "gainIM2", 0, 32767, 25, 100, "I gain (Ki)", "", 3},
    {"gainDM1", "gainDM2", 0, 32767, 50, 500, "D gain (Kd)", "", 4},
};

struct GridPlace {
    int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
};

// Where `widget` sits in the grid of its parent widget.
GridPlace placeOf(QWidget* widget) {
    GridPlace place;
    auto* grid = qobject_cast<QGridLayout*>(widget->parentWidget()->layout());
    if (!grid || grid->indexOf(widget) < 0) {
        return place;
    }
    grid->getItemPosition(grid->indexOf(widget), &place.row, &place.column, &place.rowSpan,
                          &place.columnSpan);
    return place;
}

QPixmap labelPixmap(const QLabel* label) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return label->pixmap();
#else
    return label->pixmap(Qt::ReturnByValue);
#endif
}

QString textAt(QWidget* groupBox, int row, int column) {
    auto* grid = qobject_cast<QGridLayout*>(groupBox->layout());
    QLayoutItem* item = grid ? grid->itemAtPosition(row, column) : nullptr;
    auto* label = item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
    return label ? label->text() : QString("<none>");
}

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

const char* const kContcurr[] = {
    "Set motor continuous current limit. See motor specifications for maximum value or use lower "
    "value to limit torque.",
    "Note: drive may internally limit current further depending on drive model and environment "
    "conditions (such as temperature)."};
const char* const kPeakcurr[] = {
    "Set motor peak current limit. See motor specifications for maximum peak current or use lower "
    "value to limit torque.",
    kContcurr[1]};
const char* const kInductanceTail = " See motor specifications for correct value. ";
const char* const kStability =
    "This setting affects to torque controller stability and incorrect value may cause oscillation "
    "or overcurrent faults.";
const char* const kResistanceTail =
    " See motor specifications for correct value or measure it. Note: typical multimeters have "
    "very low accuracy below 10 ohms.";
const char* const kEncoderFail[] = {
    "Checking this enables encoder failure detection which may prevent motor runaways and "
    "mechanical damage.",
    "Uncheck this if you are getting false triggering."};
const char* const kAntiDither[] = {
    "Checking this enables anti-dither feature which aims to reduce possible motor \"hunting\" and "
    "buzz sound while standing still.",
    "Side effect may be reduced stiffness and prolonged settling time."};
const char* const kInvert =
    "Invert encoder counting direction. Toggle this if you are getting instant follow error and no "
    "stability.";
const char* const kFerror =
    "This sets maximum tolerated following error (actual vs commanded position). If limit is "
    "exceeded, an follow error fault will be activated.";
const char* const kMult[] = {
    "This sets input pulse multiplier. ",
    "Example: a 1000 line encoder after decoding equals 4000 steps/revolution (by 1x multiplier). "
    "By setting multiplier of 8, the drive needs 4000/8=500 step pulses for revolution."};
const char* const kPidTuning = "See manual from help menu for proper PID tuning procedure.";

QString joined(const char* const* paragraphs, int count) {
    QStringList list;
    for (int i = 0; i < count; ++i) {
        list << paragraphs[i];
    }
    return list.join("\n\n");
}
}  // namespace

TEST(WindowForm, FreshWindowIsDisconnectedWithItsStartValues) {
    Morvane window;
    EXPECT_EQ(window.windowTitle(), "Morvane");
    EXPECT_EQ(window.objectName(), "MainWindow");
    EXPECT_EQ(window.size(), QSize(424, 648));
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.tabShape(), QTabWidget::Rounded);
    EXPECT_EQ(window.centralWidget(), window.ui.centralwidget);

    EXPECT_FALSE(window.connected);
    EXPECT_EQ(window.firmwareVersion, -1);
    EXPECT_FALSE(window.ui.disableButton->isEnabled());
    EXPECT_FALSE(window.ui.applyButton->isEnabled());
    EXPECT_FALSE(window.ui.testButton->isEnabled());
    EXPECT_TRUE(window.ui.connectButton->isEnabled());
    for (QWidget* field : window.ui.axisTabs->findChildren<QWidget*>()) {
        EXPECT_TRUE(field->isEnabled()) << field->objectName().toStdString();
    }
    for (QAction* action : window.findChildren<QAction*>()) {
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
        EXPECT_FALSE(action->isChecked()) << action->objectName().toStdString();
    }

    EXPECT_EQ(window.ui.axisTabs->currentIndex(), 0);
    EXPECT_EQ(window.ui.axisTabs->count(), 2);
    EXPECT_EQ(window.ui.axisTabs->tabText(0), "Axis 1");
    EXPECT_EQ(window.ui.axisTabs->tabText(1), "Axis 2");
    EXPECT_EQ(window.ui.axisTabs->widget(0), window.ui.tab);
    EXPECT_EQ(window.ui.axisTabs->widget(1), window.ui.tab_2);
    EXPECT_EQ(window.ui.axisTabs->tabPosition(), QTabWidget::North);
    EXPECT_TRUE(window.plotForm != nullptr);
    EXPECT_FALSE(window.plotDialog.isVisible());
}

TEST(WindowForm, SettingUpTheWindowPrintsNothing) {
    OutputCapture capture;
    { Morvane window; }
    EXPECT_EQ(capture.err(), "");
    EXPECT_EQ(capture.out(), "");
}

TEST(WindowForm, IntegerFieldsHaveTheirRangesStepsAndStartValues) {
    Morvane window;
    for (const SpinField& field : kSpinFields) {
        for (const char* name : {field.axis1, field.axis2}) {
            SCOPED_TRACE(name);
            auto* box = window.findChild<QSpinBox*>(name);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->minimum(), field.minimum);
            EXPECT_EQ(box->maximum(), field.maximum);
            EXPECT_EQ(box->singleStep(), field.step);
            EXPECT_EQ(box->value(), field.start);
            EXPECT_EQ(placeOf(box).row, field.row);
            EXPECT_EQ(placeOf(box).column, 1);
            EXPECT_EQ(textAt(box->parentWidget(), field.row, 0), field.caption);
            EXPECT_EQ(textAt(box->parentWidget(), field.row, 2),
                      *field.unit ? QString(field.unit) : QString("<none>"));
            // The field refuses values beyond its range.
            box->setValue(field.maximum + 1);
            EXPECT_EQ(box->value(), field.maximum);
            box->setValue(field.minimum - 1);
            EXPECT_EQ(box->value(), field.minimum);
        }
    }
}

TEST(WindowForm, MotorConstantsStepByFiveHundredthsWithTwoDecimals) {
    Morvane window;
    struct Decimal {
        QDoubleSpinBox* box;
        double start;
        int row;
        const char* caption;
        const char* unit;
    };
    for (const Decimal& field :
         {Decimal{window.ui.inductanceM1, 5.0, 2, "Motor inductance", "mH"},
          Decimal{window.ui.inductanceM2, 5.0, 2, "Motor inductance", "mH"},
          Decimal{window.ui.resistanceM1, 1.0, 3, "Motor resistance", "Ohm"},
          Decimal{window.ui.resistanceM2, 1.0, 3, "Motor resistance", "Ohm"}}) {
        SCOPED_TRACE(field.box->objectName().toStdString());
        EXPECT_EQ(field.box->decimals(), 2);
        EXPECT_DOUBLE_EQ(field.box->minimum(), 0.05);
        EXPECT_DOUBLE_EQ(field.box->maximum(), 50.0);
        EXPECT_DOUBLE_EQ(field.box->singleStep(), 0.05);
        EXPECT_DOUBLE_EQ(field.box->value(), field.start);
        EXPECT_EQ(field.box->text(), QString::number(field.start, 'f', 2));
        EXPECT_EQ(placeOf(field.box).row, field.row);
        EXPECT_EQ(textAt(field.box->parentWidget(), field.row, 0), field.caption);
        EXPECT_EQ(textAt(field.box->parentWidget(), field.row, 2), field.unit);
        field.box->setValue(0.0);
        EXPECT_DOUBLE_EQ(field.box->value(), 0.05);
        field.box->stepUp();
        EXPECT_DOUBLE_EQ(field.box->value(), 0.10);
    }
}

TEST(WindowForm, CheckBoxesSitInTheEncoderGroupBelowAnEmptyFirstRow) {
    Morvane window;
    struct Check {
        QCheckBox* box;
        int row;
        const char* text;
    };
    const Check checks[] = {
        {window.ui.invertM1, 1, "Invert encoder direction"},
        {window.ui.encoderfailM1, 2, "Enable encoder failure detection"},
        {window.ui.antiditherM1, 3, "Enable Anti-dither"},
        {window.ui.invertM2, 1, "Invert encoder direction"},
        {window.ui.encoderfailM2, 2, "Enable encoder failure detection"},
        {window.ui.antiditherM2, 3, "Enable Anti-dither"},
        {window.ui.slaveAxisM2, 4, "Axis 2 is a parallel (slave axis) to Axis 1"},
    };
    for (const Check& check : checks) {
        SCOPED_TRACE(check.box->objectName().toStdString());
        EXPECT_EQ(check.box->text(), check.text);
        EXPECT_FALSE(check.box->isChecked());
        const GridPlace place = placeOf(check.box);
        EXPECT_EQ(place.row, check.row);
        EXPECT_EQ(place.column, 0);
        EXPECT_EQ(place.columnSpan, 1);
    }
    EXPECT_EQ(window.ui.invertM1->parentWidget(), window.ui.groupBox_2);
    EXPECT_EQ(window.ui.invertM2->parentWidget(), window.ui.groupBox_6);
    EXPECT_EQ(window.ui.gridLayout_3->itemAtPosition(4, 0)->spacerItem(), window.ui.verticalSpacer);
    EXPECT_EQ(window.ui.gridLayout_8->itemAtPosition(5, 0)->spacerItem(),
              window.ui.verticalSpacer_2);
    EXPECT_EQ(window.ui.gridLayout_3->itemAtPosition(0, 0), nullptr);
    // Only axis 2 can follow the other axis.
    EXPECT_EQ(window.findChild<QCheckBox*>("slaveAxisM1"), nullptr);
    EXPECT_TRUE(window.ui.tab_2->isAncestorOf(window.ui.slaveAxisM2));
}

TEST(WindowForm, GroupsAndTheCentralGridAreLaidOutInPlace) {
    Morvane window;
    const struct {
        QGroupBox* box;
        QWidget* page;
        int row;
        const char* title;
    } groups[] = {
        {window.ui.groupBox, window.ui.tab, 0, "Motor settings"},
        {window.ui.groupBox_2, window.ui.tab, 1, "Encoder settings"},
        {window.ui.groupBox_3, window.ui.tab, 2, "Position control settings"},
        {window.ui.groupBox_5, window.ui.tab_2, 0, "Motor settings"},
        {window.ui.groupBox_6, window.ui.tab_2, 1, "Encoder settings"},
        {window.ui.groupBox_4, window.ui.tab_2, 2, "Position control settings"},
    };
    for (const auto& group : groups) {
        EXPECT_EQ(group.box->title(), group.title);
        EXPECT_EQ(group.box->parentWidget(), group.page);
        EXPECT_EQ(placeOf(group.box).row, group.row);
        EXPECT_EQ(placeOf(group.box).column, 0);
    }
    EXPECT_EQ(window.ui.tab->layout(), window.ui.gridLayout_5);
    EXPECT_EQ(window.ui.tab_2->layout(), window.ui.gridLayout_9);
    EXPECT_EQ(window.ui.contcurrM1->parentWidget(), window.ui.groupBox);
    EXPECT_EQ(window.ui.gainDM2->parentWidget(), window.ui.groupBox_4);

    const struct {
        QWidget* widget;
        int row, column, columnSpan;
    } central[] = {
        {window.ui.doclabel, 0, 1, 5},      {window.ui.logo, 1, 0, 1},
        {window.ui.axisTabs, 1, 1, 5},      {window.ui.connectButton, 2, 2, 1},
        {window.ui.disableButton, 2, 3, 1}, {window.ui.applyButton, 2, 4, 1},
        {window.ui.testButton, 2, 5, 1},
    };
    for (const auto& item : central) {
        SCOPED_TRACE(item.widget->objectName().toStdString());
        const GridPlace place = placeOf(item.widget);
        EXPECT_EQ(place.row, item.row);
        EXPECT_EQ(place.column, item.column);
        EXPECT_EQ(place.columnSpan, item.columnSpan);
    }
    EXPECT_EQ(window.ui.gridLayout->itemAtPosition(2, 1)->spacerItem(), window.ui.horizontalSpacer);
    EXPECT_EQ(labelPixmap(window.ui.logo).size(), QSize(24, 186));
    EXPECT_EQ(window.ui.logo->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(window.ui.logo->text(), "");
    EXPECT_EQ(QTextDocumentFragment::fromHtml(window.ui.doclabel->text()).toPlainText(),
              " For quick documentation, hover mouse over controls");
}

TEST(WindowForm, ButtonsCarryTheirTextsAndShortcuts) {
    Morvane window;
    EXPECT_EQ(window.ui.connectButton->text(), "&Connect");
    EXPECT_EQ(window.ui.disableButton->text(), "Disable drive (Esc)");
    EXPECT_EQ(window.ui.disableButton->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_EQ(window.ui.applyButton->text(), "&Apply");
    EXPECT_EQ(window.ui.testButton->text(), "&Test");
    for (QPushButton* wide :
         {window.ui.connectButton, window.ui.applyButton, window.ui.testButton}) {
        EXPECT_EQ(wide->minimumWidth(), 75);
    }
}

TEST(WindowForm, MenusHoldTheirActionsInOrder) {
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
    EXPECT_EQ(window.ui.menuSettings->actions()[1]->menu(),
              window.ui.menuShow_response_graph_after_test);
    EXPECT_EQ(titles(window.ui.menuShow_response_graph_after_test->actions()),
              (QStringList{"Span 100 ms", "Span 500 ms", "Span 2000 ms"}));
    EXPECT_EQ(titles(window.ui.menu_Help->actions()),
              (QStringList{"Open help (PDF)", "About Morvane"}));
    EXPECT_EQ(window.menuBar(), window.ui.menubar);
    EXPECT_EQ(window.statusBar(), window.ui.statusbar);
}

TEST(WindowForm, ActionsHaveTheirShortcutsIconsAndCheckability) {
    Morvane window;
    const struct {
        QAction* action;
        const char* shortcut;
        bool icon;
        bool checkable;
    } actions[] = {
        {window.ui.Open_configuration, "Ctrl+O", true, false},
        {window.ui.Save_configuration, "Ctrl+S", true, false},
        {window.ui.Quit, "", false, false},
        {window.ui.Open_help_PDF, "", false, false},
        {window.ui.About_Morvane, "", true, false},
        {window.ui.Drive_diagnosis, "Ctrl+D", false, false},
        {window.ui.span_100_ms, "Ctrl+1", false, true},
        {window.ui.span_500_ms, "Ctrl+2", false, true},
        {window.ui.span_2000_ms, "Ctrl+3", false, true},
    };
    for (const auto& item : actions) {
        SCOPED_TRACE(item.action->objectName().toStdString());
        EXPECT_EQ(item.action->shortcut(), QKeySequence(item.shortcut));
        EXPECT_EQ(!item.action->icon().isNull(), item.icon);
        EXPECT_EQ(item.action->isCheckable(), item.checkable);
        EXPECT_EQ(item.action->parent(), &window);
    }
}

TEST(WindowForm, CompiledInImagesHaveTheirSizes) {
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

TEST(WindowForm, AxisTwoFieldsAndConnectCarryPlainHelpTexts) {
    Morvane window;
    EXPECT_EQ(window.ui.contcurrM2->toolTip(), joined(kContcurr, 2));
    EXPECT_EQ(window.ui.peakcurrM2->toolTip(), joined(kPeakcurr, 2));
    EXPECT_EQ(window.ui.inductanceM2->toolTip(),
              QString("Set motor inductance.") + kInductanceTail + "\n\n" + kStability);
    EXPECT_EQ(window.ui.resistanceM2->toolTip(),
              QString("Set motor resistance.") + kResistanceTail + "\n\n" + kStability);
    EXPECT_EQ(window.ui.encoderfailM2->toolTip(), joined(kEncoderFail, 2));
    EXPECT_EQ(window.ui.antiditherM2->toolTip(), joined(kAntiDither, 2));
    EXPECT_EQ(window.ui.invertM2->toolTip(), kInvert);
    EXPECT_EQ(window.ui.ferrorM2->toolTip(), kFerror);
    EXPECT_EQ(window.ui.multM2->toolTip(), joined(kMult, 2));
    EXPECT_EQ(window.ui.connectButton->toolTip(),
              "Establish a USB connection to drive and import settings.");
}

TEST(WindowForm, RichHelpTextsHaveTheirParagraphsAndBoldWords) {
    Morvane window;
    const struct {
        QWidget* widget;
        QStringList paragraphs;
        QStringList bold;
        bool emptiesBetween;
    } tips[] = {
        {window.ui.contcurrM1, {kContcurr[0], kContcurr[1]}, {"continuous current limit"}, true},
        {window.ui.peakcurrM1, {kPeakcurr[0], kPeakcurr[1]}, {"peak current limit"}, true},
        {window.ui.inductanceM1,
         {QString("Set motor winding inductance.") + kInductanceTail, kStability},
         {"motor winding inductance", "stability"},
         true},
        {window.ui.resistanceM1,
         {QString("Set motor winding resistance.") + kResistanceTail, kStability},
         {"motor winding resistance", "stability"},
         true},
        {window.ui.encoderfailM1,
         {kEncoderFail[0], kEncoderFail[1]},
         {"enables encoder failure detection"},
         true},
        {window.ui.antiditherM1,
         {kAntiDither[0], kAntiDither[1]},
         {"enables anti-dither feature"},
         true},
        {window.ui.invertM1,
         {kInvert, "To change motor running direction, swap motor leads and toggle this button.",
          "Correct setting is critical for any operation."},
         {"Invert encoder counting direction", "To change motor running direction"},
         true},
        {window.ui.ferrorM1, {kFerror}, {"maximum tolerated following error"}, true},
        {window.ui.multM1, {kMult[0], kMult[1]}, {"input pulse multiplier"}, true},
        {window.ui.slaveAxisM2,
         {"Check this to make Axis 2 to follow step/dir pulses of Axis 1.",
          "If motors are connected to same load (i.e. a table with two leadscrews), it is strongly "
          "recommended that physical system is fully symmetrical. I.e. both axis should have "
          "similar motors, similar encoders, same drive settings and similar coupling to load.",
          "Test button will inject torque to both axis if this option is checked."},
         {"strongly recommended", "Test button"},
         true},
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
        {window.ui.testButton,
         {"This will run a step disturbance test. Test results will be displayed in status bar "
          "below.",
          "In this test motor is commanded to hold position while drive injects sharp torque "
          "command to find out how position control reacts. This test simulates instanenous load "
          "change on motor shaft.",
          "Injected test torque amplitude is 75% of continuous current so changing continuous "
          "current limit will have effect on results.",
          "See manual for using this function in PID tuning."},
         {"a step disturbance test", "This test simulates instanenous load change on motor shaft",
          "75% of continuous current", "See manual"},
         true},
    };
    for (const auto& tip : tips) {
        SCOPED_TRACE(tip.widget->objectName().toStdString());
        const RichText rich = readRich(tip.widget->toolTip());
        EXPECT_TRUE(Qt::mightBeRichText(tip.widget->toolTip()));
        EXPECT_EQ(rich.paragraphs,
                  tip.emptiesBetween ? withEmptiesBetween(tip.paragraphs) : tip.paragraphs);
        EXPECT_EQ(rich.bold, tip.bold);
        EXPECT_EQ(rich.family, "DejaVu Sans");
        EXPECT_DOUBLE_EQ(rich.pointSize, 9.0);
    }
    EXPECT_EQ(readRich(window.ui.disableButton->toolTip()).boldColours, QStringList{"#c90000"});

    const struct {
        QWidget* m1;
        QWidget* m2;
        const char* kind;
    } gains[] = {{window.ui.gainPM1, window.ui.gainPM2, "proportional"},
                 {window.ui.gainIM1, window.ui.gainIM2, "integral"},
                 {window.ui.gainDM1, window.ui.gainDM2, "derivative"}};
    for (const auto& gain : gains) {
        for (QWidget* widget : {gain.m1, gain.m2}) {
            SCOPED_TRACE(widget->objectName().toStdString());
            const RichText rich = readRich(widget->toolTip());
            EXPECT_EQ(rich.paragraphs,
                      withEmptiesBetween(
                          {QString("This sets position controller %1 servo gain.").arg(gain.kind),
                           kPidTuning}));
            EXPECT_EQ(rich.bold, QStringList{gain.kind});
        }
    }
}
