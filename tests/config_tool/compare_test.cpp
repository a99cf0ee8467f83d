// The compare table: a settings file against the form (judged as Open judges it), a run's
// settings against the form, and taking their values into the form.
#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "compare_dialog.h"
#include "message_box_watcher.h"
#include "morvane.h"
#include "response_view.h"
#include "scripted_file_prompt.h"
#include "settings_form.h"
#include "sim_fixture.h"
#include "ui_plot_dialog.h"

using namespace config_tool;

namespace {
constexpr int kFileColumn = CompareDialog::kFirstValueColumn + 1;

// The rows whose cell in `column` is marked as differing from the form, by line name.
QStringList markedRows(const CompareDialog& dialog, int column) {
    QStringList marked;
    for (int row = 0; row < dialog.ui.table->rowCount(); ++row) {
        if (dialog.ui.table->item(row, column)->font().bold()) {
            marked << dialog.ui.table->item(row, 0)->text();
        }
    }
    return marked;
}
}  // namespace

TEST(Compare, AFileShowsItsDifferencesAndOneSelectedRowGoesIntoTheForm) {
    Morvane window;
    QTemporaryDir dir;
    ScriptedFilePrompt prompt;
    window.askFileName = prompt.prompt();
    prompt.answer({dir.filePath("saved.frx")});
    window.ui.Save_configuration->trigger();
    window.ui.gainPM1->setValue(900);
    window.ui.resistanceM2->setValue(0.41);
    window.ui.antiditherM2->setChecked(true);
    const DriveSettings edited = settingsFromForm(window.ui);

    prompt.answer({dir.filePath("saved.frx")});
    window.ui.Compare_with_file->trigger();
    ASSERT_TRUE(window.compareDialog && window.compareDialog->isVisible());
    CompareDialog& dialog = *window.compareDialog;
    EXPECT_EQ(markedRows(dialog, kFileColumn),
              (QStringList{"P gain (Kp), axis 1", "Motor resistance, axis 2",
                           "Enable Anti-dither, axis 2"}));
    EXPECT_EQ(dialog.ui.table->item(0, kFileColumn + 1)->text(), "—");  // no drive connected

    dialog.selectLines([](const SettingLine& line) { return line.formField == "resistanceM2"; });
    QTest::mouseClick(dialog.ui.takeIntoFormButton, Qt::LeftButton);
    EXPECT_EQ(window.ui.resistanceM2->value(), 1.0);
    EXPECT_EQ(differingLines(edited, settingsFromForm(window.ui)).size(), 1u);
    EXPECT_EQ(markedRows(dialog, kFileColumn).size(), 2);  // the form's column follows
}

TEST(Compare, ARefusedFileGivesOpensMessagesAndNoTable) {
    QTemporaryDir dir;
    QFile partial(dir.filePath("partial.frx"));  // no version, one parameter of 19
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly) &&
                partial.write("<SetupFRX><Param80 Value=\"4\"/></SetupFRX>") > 0);
    partial.close();
    for (const char* name : {"missing.frx", "partial.frx"}) {
        Morvane window;
        ScriptedFilePrompt prompt;
        window.askFileName = prompt.prompt();
        QStringList seen[2];  // by Compare, by Open
        for (QAction* action : {window.ui.Compare_with_file, window.ui.Open_configuration}) {
            MessageBoxWatcher watcher;
            prompt.answer({dir.filePath(name)});
            action->trigger();
            for (const SeenBox& box : watcher.boxes()) {
                seen[action == window.ui.Open_configuration] << describeBox(box);
            }
        }
        EXPECT_FALSE(seen[0].isEmpty()) << name;
        EXPECT_EQ(seen[0], seen[1]) << name;
        EXPECT_EQ(window.compareDialog, nullptr) << name;
    }
}

TEST(Compare, ARunKeepsTheFormsSettingsAndGivesItsGainsBack) {
    installFerroxDrive();
    Morvane window;
    MessageBoxWatcher watcher;
    QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
    window.ui.span_100_ms->trigger();
    window.ui.gainPM1->setValue(735);
    window.ui.peakcurrM2->setValue(5000);
    const DriveSettings atRun = settingsFromForm(window.ui);
    QTest::mouseClick(window.ui.testButton, Qt::LeftButton);
    window.ui.gainPM1->setValue(1200);
    window.ui.peakcurrM2->setValue(6000);

    const std::any& kept = window.responseView->history().run(0).capture.settingsAtRun;
    EXPECT_TRUE(differingLines(std::any_cast<DriveSettings>(kept), atRun).empty());

    QTest::mouseClick(window.plotForm->compareRunButton, Qt::LeftButton);
    ASSERT_TRUE(window.compareDialog && window.compareDialog->isVisible());
    EXPECT_EQ(markedRows(*window.compareDialog, kFileColumn),
              (QStringList{"P gain (Kp), axis 1", "Motor peak current, axis 2"}));
    QTest::mouseClick(window.compareDialog->ui.takeIntoFormButton, Qt::LeftButton);
    EXPECT_EQ(window.ui.gainPM1->value(), 735);  // the run's gains are selected at the start
    EXPECT_EQ(window.ui.peakcurrM2->value(), 6000);
}
