// The marks of pending changes: every field whose value differs from what the connected drive
// holds shows its caption in bold with the drive's value as the caption's tooltip, and the tab of
// its axis is coloured. The marks follow every change of the form by themselves, whatever made
// it: the user, a loaded file, a proposal of the tuning assistant.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "settings_table.h"
#include "ui_main_window_form.h"

namespace config_tool {

class PendingMarks {
public:
    // `onDrive` is the window's record of what the drive holds (none while disconnected); it must
    // outlive the marks.
    PendingMarks(Ui::MainWindowForm& ui, const std::optional<DriveSettings>& onDrive);

    // Marks what differs now; the window calls it when the drive's record changes.
    void refresh();

private:
    struct Mark {
        QWidget* caption;  // the label beside the field, or the check box itself
        bool isCheckBox;
        QString ownToolTip;       // the caption's tooltip when unmarked
        QString shownDriveValue;  // empty while unmarked
    };
    static void show(Mark& mark, const QString& driveValue);

    Ui::MainWindowForm& ui_;
    const std::optional<DriveSettings>& onDrive_;
    std::vector<Mark> marks_;  // in settingLines() order
};

}  // namespace config_tool
