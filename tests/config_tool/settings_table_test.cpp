// Unit conversions and the flags parameter: what the settings become on the wire.
#include <gtest/gtest.h>

#include <QDomDocument>
#include <QDomElement>

#include "morvane_test_support.h"
#include "settings_document.h"
#include "settings_table.h"

namespace {
// Exports the form into a document and returns the value of one parameter element.
int exportedValue(Morvane& window, uint16_t number) {
    SettingsDocument settings = newSettingsDocument();
    if (!window.exportSettings(true, settings.root, settings.document)) {
        return -1;
    }
    const QDomElement element = settings.root.firstChildElement("Param" + QString::number(number));
    return element.isNull() ? -2 : element.attribute("Value").toInt();
}
}  // namespace

TEST(MotorConstants, BoundaryValuesConvertBothWays) {
    EXPECT_EQ(inductanceToParam(0.05), 8);  // 7.5 rounds away from zero
    EXPECT_EQ(inductanceToParam(50.0), 7500);
    EXPECT_EQ(resistanceToParam(0.05), 5);
    EXPECT_EQ(resistanceToParam(50.0), 5000);
    EXPECT_DOUBLE_EQ(paramToInductance(7500), 50.0);
    EXPECT_DOUBLE_EQ(paramToResistance(123), 1.23);
    EXPECT_NEAR(paramToInductance(8), 0.0533, 0.0001);
}

TEST(MotorConstants, EveryTwoDecimalValueSurvivesTheWayThroughTheDrive) {
    Morvane window;
    for (int hundredths = 5; hundredths <= 5000; hundredths += 5) {
        SCOPED_TRACE(hundredths);
        const double value = hundredths / 100.0;
        // 1.5 x hundredths, a half rounded upwards.
        const int inductance = (3 * hundredths + 1) / 2;
        ASSERT_EQ(inductanceToParam(value), inductance);
        ASSERT_EQ(resistanceToParam(value), hundredths);

        // Through the fields, which hold and show two decimals.
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

TEST(SettingsTable, FieldsFollowTheDriveOrderOnBothAxes) {
    Morvane window;
    const std::vector<SettingField> fields = axisSettingFields(window.ui);
    std::vector<uint16_t> numbers;
    for (const SettingField& field : fields) {
        numbers.push_back(field.number);
        EXPECT_EQ(field.kind == FieldKind::Integer, field.integer != nullptr);
    }
    std::vector<uint16_t> expected = settingNumbers();
    expected.erase(expected.begin());  // the flags are not a field
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(fields[3].decimal, window.ui.inductanceM1);
    EXPECT_EQ(fields[13].decimal, window.ui.resistanceM2);
    EXPECT_EQ(fields[6].integer, window.ui.gainDM1);
    EXPECT_EQ(fields[17].integer, window.ui.gainIM2);
}

TEST(SettingsFlags, EachCheckBoxOwnsOneBit) {
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
        bit.box->setChecked(false);
    }
    for (const auto& bit : bits) {
        bit.box->setChecked(true);
    }
    EXPECT_EQ(exportedValue(window, 80), 0xC61C);
}

TEST(SettingsFlags, OnlyAFullTickCountsAndImportIgnoresForeignBits) {
    Morvane window;
    window.ui.invertM1->setTristate(true);
    window.ui.invertM1->setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(exportedValue(window, 80), 0);

    uint16_t flags = 0xFFFF;
    Morvane::setBitFromCheck(window.ui.invertM2, flags, 0x0010);
    EXPECT_EQ(flags, 0xFFEF);
    Morvane::setBitFromCheck(window.ui.invertM1, flags, 0x0008);
    EXPECT_EQ(flags, 0xFFE7);

    Morvane::setCheckFromBit(window.ui.antiditherM2, 0x0400, 0x0400);
    EXPECT_TRUE(window.ui.antiditherM2->isChecked());
    Morvane::setCheckFromBit(window.ui.antiditherM2, uint16_t(~0x0400), 0x0400);
    EXPECT_FALSE(window.ui.antiditherM2->isChecked());
}

TEST(SettingsExport, CurrentsMayBeEqualButContinuousMayNotExceedPeak) {
    for (int axis = 1; axis <= 2; ++axis) {
        SCOPED_TRACE(axis);
        Morvane window;
        MessageBoxWatcher watcher;
        QSpinBox* cont = axis == 1 ? window.ui.contcurrM1 : window.ui.contcurrM2;
        QSpinBox* peak = axis == 1 ? window.ui.peakcurrM1 : window.ui.peakcurrM2;
        peak->setValue(3000);
        cont->setValue(3000);
        EXPECT_EQ(exportedValue(window, axis == 1 ? 410 : 8510), 3000);
        EXPECT_TRUE(watcher.boxes().empty());

        cont->setValue(3001);
        SettingsDocument settings = newSettingsDocument();
        EXPECT_FALSE(window.exportSettings(true, settings.root, settings.document));
        EXPECT_EQ(describeBoxes(watcher),
                  QStringList{"warning|Settings error|<i>Continuous current</i> can't be greater "
                              "than <i>peak current</i>.<br>Correct your settings."});
        // Nothing but the version element went into the document.
        EXPECT_EQ(settings.root.childNodes().count(), 1);
    }
}
