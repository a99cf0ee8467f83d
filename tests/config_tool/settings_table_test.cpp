// Unit conversions, the flags parameter and the current check: what the settings become on the
// wire and in a file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QStatusBar>

#include "morvane_test_support.h"
#include "settings_document.h"
#include "settings_table.h"
#include "settings_transfer.h"

namespace {
// Exports the form into a document and returns the value of one parameter element.
int exportedValue(Morvane& window, uint16_t number) {
    SettingsDocument settings = newSettingsDocument();
    if (!exportSettingsToDocument(window, settings)) {
        return -1;
    }
    const QDomElement element = settings.root.firstChildElement("Param" + QString::number(number));
    return element.isNull() ? -2 : element.attribute("Value").toInt();
}
}  // namespace

TEST(MotorConstants, EveryTwoDecimalValueSurvivesTheWayThroughTheDrive) {
    Morvane window;
    for (int hundredths = 5; hundredths <= 5000; hundredths += 5) {
        SCOPED_TRACE(hundredths);
        const double value = hundredths / 100.0;
        // 1.5 x hundredths, a half rounded away from zero: 0.05 mH is 8, 50 mH is 7500.
        const int inductance = (3 * hundredths + 1) / 2;
        window.ui.inductanceM1->setValue(value);
        window.ui.resistanceM2->setValue(value);
        const uint16_t sentInductance = inductanceToParam(window.ui.inductanceM1->value());
        const uint16_t sentResistance = resistanceToParam(window.ui.resistanceM2->value());
        ASSERT_EQ(sentInductance, inductance);
        ASSERT_EQ(sentResistance, hundredths);
        window.ui.inductanceM1->setValue(0.05);
        window.ui.resistanceM2->setValue(0.05);
        window.ui.inductanceM1->setValue(paramToInductance(sentInductance));
        window.ui.resistanceM2->setValue(paramToResistance(sentResistance));
        ASSERT_EQ(window.ui.inductanceM1->text(), QString::number(value, 'f', 2));
        ASSERT_EQ(window.ui.resistanceM2->text(), QString::number(value, 'f', 2));
    }
}

TEST(SettingsFlags, EachCheckBoxOwnsOneBitAndOnlyAFullTickCounts) {
    Morvane window;
    EXPECT_EQ(exportedValue(window, 80), 0);
    const struct {
        QCheckBox* box;
        int mask;
    } bits[] = {
        {window.ui.slaveAxisM2, 0x0004},   {window.ui.invertM1, 0x0008},
        {window.ui.invertM2, 0x0010},      {window.ui.antiditherM1, 0x0200},
        {window.ui.antiditherM2, 0x0400},  {window.ui.encoderfailM1, 0x4000},
        {window.ui.encoderfailM2, 0x8000},
    };
    for (const auto& bit : bits) {
        SCOPED_TRACE(bit.box->objectName().toStdString());
        bit.box->setChecked(true);
        EXPECT_EQ(exportedValue(window, 80), bit.mask);
        bit.box->setTristate(true);
        bit.box->setCheckState(Qt::PartiallyChecked);
        EXPECT_EQ(exportedValue(window, 80), 0);
    }
    for (const auto& bit : bits) {
        bit.box->setChecked(true);
    }
    EXPECT_EQ(exportedValue(window, 80), 0xC61C);
}

TEST(SettingsExport, ContinuousCurrentMayEqualPeakButNotExceedIt) {
    for (int axis = 1; axis <= 2; ++axis) {
        SCOPED_TRACE(axis);
        ScratchDir scratch;
        Morvane window;
        MessageBoxWatcher watcher;
        QSpinBox* cont = axis == 1 ? window.ui.contcurrM1 : window.ui.contcurrM2;
        QSpinBox* peak = axis == 1 ? window.ui.peakcurrM1 : window.ui.peakcurrM2;
        peak->setValue(3000);
        cont->setValue(3000);
        EXPECT_EQ(exportedValue(window, axis == 1 ? 410 : 8510), 3000);
        EXPECT_TRUE(watcher.boxes().empty());

        // Refused, the form writes no file and shows no status text.
        cont->setValue(3001);
        saveSettingsAs(window, scratch.path("rejected.frx"));
        EXPECT_EQ(describeBoxes(watcher), QStringList{kSettingsErrorBox});
        EXPECT_FALSE(QFile::exists(scratch.path("rejected.frx")));
        EXPECT_EQ(window.ui.statusbar->currentMessage(), "");
    }
}
