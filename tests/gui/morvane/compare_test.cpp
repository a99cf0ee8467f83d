// The compare table of a settings file or a run against the form, and its Take into form.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "compare_dialog.h"
#include "message_box_watcher.h"
#include "morvane.h"
#include "settings_form.h"
#include "sim_fixture.h"
#include "ui_plot_dialog.h"

using namespace config_tool;

namespace {
// The rows whose file or run value is marked as differing from the form, by line name.
QStringList markedRows(const CompareDialog& dialog) {
    QStringList marked;
    for (int row = 0; row < dialog.ui.table->rowCount(); ++row) {
        if (dialog.ui.table->item(row, CompareDialog::kFirstValueColumn + 1)->font().bold()) {
            marked << dialog.ui.table->item(row, 0)->text();
        }
    }
    return marked;
}
}  // namespace

TEST(Compare, AFileShowsItsDifferencesAndOneSelectedRowGoesIntoTheForm) {
    Morvane window;
    QTemporaryDir dir;
    const QString file = dir.filePath("saved.frx");
    window.askFileName = [&file](QWidget*, const widgets::FileQuestion&) { return file; };
    window.ui.Save_configuration->trigger();
    window.ui.gainPM1->setValue(900);
    window.ui.resistanceM2->setValue(0.41);
    window.ui.antiditherM2->setChecked(true);
    const DriveSettings edited = settingsFromForm(window.ui);

    window.ui.Compare_with_file->trigger();
    ASSERT_TRUE(window.compareDialog && window.compareDialog->isVisible());
    CompareDialog& dialog = *window.compareDialog;
    EXPECT_EQ(markedRows(dialog), (QStringList{"P gain (Kp), axis 1", "Motor resistance, axis 2",
                                               "Enable Anti-dither, axis 2"}));
    EXPECT_EQ(dialog.ui.table->item(0, 4)->text(), "—");  // the drive's column: none connected

    dialog.selectLines([](const SettingLine& line) { return line.formField == "resistanceM2"; });
    QTest::mouseClick(dialog.ui.takeIntoFormButton, Qt::LeftButton);
    EXPECT_EQ(window.ui.resistanceM2->value(), 1.0);
    EXPECT_EQ(differingLines(edited, settingsFromForm(window.ui)).size(), 1u);
    EXPECT_EQ(markedRows(dialog).size(), 2);  // the form's column follows
}

TEST(Compare, AFileLoadedWithComplaintsGivesOpensMessagesAndNoTable) {
    QTemporaryDir dir;
    QFile partial(dir.filePath("partial.frx"));  // no version, one parameter of 19
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly) &&
                partial.write("<SetupFRX><Param80 Value=\"4\"/></SetupFRX>") > 0 &&
                partial.flush());
    Morvane window;
    window.askFileName = [&](QWidget*, const widgets::FileQuestion&) { return partial.fileName(); };
    QStringList seen[2];  // by Compare, by Open
    for (QAction* action : {window.ui.Compare_with_file, window.ui.Open_configuration}) {
        MessageBoxWatcher watcher;
        action->trigger();
        for (const SeenBox& box : watcher.boxes()) {
            seen[action == window.ui.Open_configuration] << describeBox(box);
        }
    }
    EXPECT_EQ(seen[0].size(), 19);  // the version's box and one for each missing parameter
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(window.compareDialog, nullptr);
}

TEST(Compare, ARunKeepsTheFormsSettingsAndGivesItsGainsBack) {
    installFerroxDrive();
    Morvane window;
    MessageBoxWatcher watcher;
    QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
    window.ui.span_100_ms->trigger();
    window.ui.gainPM1->setValue(735);
    window.ui.peakcurrM2->setValue(5000);
    QTest::mouseClick(window.ui.testButton, Qt::LeftButton);
    window.ui.gainPM1->setValue(1200);
    window.ui.peakcurrM2->setValue(6000);

    // The run's settings differ from the form's by the changes since, and only by them.
    QTest::mouseClick(window.plotForm->compareRunButton, Qt::LeftButton);
    ASSERT_TRUE(window.compareDialog && window.compareDialog->isVisible());
    EXPECT_EQ(markedRows(*window.compareDialog),
              (QStringList{"P gain (Kp), axis 1", "Motor peak current, axis 2"}));
    QTest::mouseClick(window.compareDialog->ui.takeIntoFormButton, Qt::LeftButton);
    EXPECT_EQ(window.ui.gainPM1->value(), 735);  // the run's gains are selected at the start
    EXPECT_EQ(window.ui.peakcurrM2->value(), 6000);
}
