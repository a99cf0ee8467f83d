#include "pending_marks.h"

#include <QColor>
#include <QGridLayout>
#include <QTabBar>
#include <array>

#include "settings_comparison.h"
#include "settings_form.h"

namespace config_tool {

namespace {
// The text colour of a tab that holds a pending change.
const QColor kPendingTabColor(0xb0, 0x4a, 0x00);

// The caption of a spin box: the label in the first column of its row in the group's grid.
QWidget* captionOf(QWidget* field) {
    auto* grid = qobject_cast<QGridLayout*>(field->parentWidget()->layout());
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(field), &row, &column, &rowSpan, &columnSpan);
    return grid->itemAtPosition(row, 0)->widget();
}

// Gives a caption the width it needs in bold, so that a mark neither clips it nor moves the form.
void reserveBoldWidth(QWidget* caption) {
    const QFont regular = caption->font();
    QFont bold = regular;
    bold.setBold(true);
    caption->setFont(bold);
    caption->setMinimumWidth(caption->sizeHint().width());
    caption->setFont(regular);
}

// The check box's own tooltip with the drive's value below it; inside the body of a rich text,
// where it would otherwise be lost after the document's end.
QString withDriveValue(const QString& toolTip, const QString& driveValue) {
    const int bodyEnd = toolTip.lastIndexOf(QLatin1String("</body>"));
    if (bodyEnd < 0) {
        return toolTip.isEmpty() ? driveValue : toolTip + '\n' + driveValue;
    }
    return QString(toolTip).insert(bodyEnd, "<p>" + driveValue.toHtmlEscaped() + "</p>");
}
}  // namespace

PendingMarks::PendingMarks(Ui::MainWindowForm& ui, const std::optional<DriveSettings>& onDrive)
    : ui_(ui), onDrive_(onDrive) {
    for (const SettingLine& line : settingLines()) {
        QWidget* field =
            ui.centralwidget->findChild<QWidget*>(QString::fromStdString(line.formField));
        const bool isCheckBox = line.settingIndex < 0;
        QWidget* caption = isCheckBox ? field : captionOf(field);
        reserveBoldWidth(caption);
        marks_.push_back({caption, isCheckBox, caption->toolTip(), QString()});
        if (auto* box = qobject_cast<QCheckBox*>(field)) {
            QObject::connect(box, &QCheckBox::toggled, [this] { refresh(); });
        } else if (auto* spin = qobject_cast<QSpinBox*>(field)) {
            QObject::connect(spin, qOverload<int>(&QSpinBox::valueChanged), [this] { refresh(); });
        } else if (auto* decimal = qobject_cast<QDoubleSpinBox*>(field)) {
            QObject::connect(decimal, qOverload<double>(&QDoubleSpinBox::valueChanged),
                             [this] { refresh(); });
        }
    }
}

void PendingMarks::refresh() {
    std::array<bool, 2> tabMarked{};
    const DriveSettings form = settingsFromForm(ui_);
    for (size_t i = 0; i < marks_.size(); ++i) {
        const SettingLine& line = settingLines()[i];
        const bool marked = onDrive_ && lineDiffers(line, *onDrive_, form);
        show(marks_[i], marked ? "drive holds " + QString::fromStdString(valueText(line, *onDrive_))
                               : QString());
        tabMarked[size_t(line.axis)] = tabMarked[size_t(line.axis)] || marked;
    }
    for (int axis = 0; axis < 2; ++axis) {
        ui_.axisTabs->tabBar()->setTabTextColor(
            axis, tabMarked[size_t(axis)] ? kPendingTabColor : QColor());
    }
}

// Touches the caption only when its mark changes: the form changes on every keystroke.
void PendingMarks::show(Mark& mark, const QString& driveValue) {
    if (driveValue == mark.shownDriveValue) {
        return;
    }
    mark.shownDriveValue = driveValue;
    const bool marked = !driveValue.isEmpty();
    QFont font = mark.caption->font();
    font.setBold(marked);
    mark.caption->setFont(font);
    if (!marked) {
        mark.caption->setToolTip(mark.ownToolTip);
    } else if (mark.isCheckBox) {
        mark.caption->setToolTip(withDriveValue(mark.ownToolTip, driveValue));
    } else {
        mark.caption->setToolTip(driveValue);
    }
}

}  // namespace config_tool
