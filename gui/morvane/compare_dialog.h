// The settings side by side, one row per line a person compares (each axis setting, each check
// box): the form's values, those of a file or a run, and whatever else helps to judge them (the
// drive's). A value that differs from the form's stands out; "Take into form" puts the selected
// rows' values of the file or run into the form, through the form's own fields.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "settings_comparison.h"
#include "ui_compare_dialog.h"

namespace config_tool {

// A column's heading and settings; none shows "—" in every row (a drive not connected).
struct SettingsColumn {
    QString heading;
    std::optional<DriveSettings> settings;
};

class CompareDialog : public QDialog {
public:
    // The form, reached only through these: its settings now, and settings to show in it.
    struct Form {
        std::function<DriveSettings()> settings;
        std::function<void(const DriveSettings&)> show;
    };

    // Columns: setting, unit, the form, `source` (what "Take into form" takes), then `others`.
    CompareDialog(QWidget* parent, Form form, SettingsColumn source,
                  std::vector<SettingsColumn> others);

    // Selects the rows of the lines `which` accepts, and only those.
    void selectLines(const std::function<bool(const SettingLine&)>& which);
    void takeSelectedIntoForm();

    static constexpr int kFirstValueColumn = 2;  // the form's; the source's is next
    Ui::CompareDialog ui;

private:
    void showValues();

    Form form_;
    std::vector<SettingsColumn> columns_;  // the form's first, then the source's
};

}  // namespace config_tool
