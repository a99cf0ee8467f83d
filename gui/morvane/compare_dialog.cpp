#include "compare_dialog.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>

namespace config_tool {

namespace {
const QColor kDiffersTint(255, 226, 170);

QString text(const char* source) {
    return QCoreApplication::translate("CompareDialog", source);
}

QTableWidgetItem* cell(const QString& text) {
    return new QTableWidgetItem(text);
}
}  // namespace

CompareDialog::CompareDialog(QWidget* parent, Form form, SettingsColumn source,
                             std::vector<SettingsColumn> others)
    : QDialog(parent), form_(std::move(form)) {
    ui.setupUi(this);
    columns_.push_back({text("Form"), std::nullopt});
    columns_.push_back(std::move(source));
    columns_.insert(columns_.end(), others.begin(), others.end());

    QStringList headings{text("Setting"), text("Unit")};
    for (const SettingsColumn& column : columns_) {
        headings << column.heading;
    }
    const std::vector<SettingLine>& lines = settingLines();
    ui.table->setColumnCount(headings.size());
    ui.table->setRowCount(int(lines.size()));
    ui.table->setHorizontalHeaderLabels(headings);
    ui.table->verticalHeader()->hide();
    for (int row = 0; row < int(lines.size()); ++row) {
        ui.table->setItem(row, 0, cell(QString::fromStdString(lineName(lines[size_t(row)]))));
        ui.table->setItem(row, 1, cell(QString::fromStdString(lines[size_t(row)].unit)));
    }
    showValues();
    ui.table->resizeColumnsToContents();
    // Every column in sight: only the rows may need the scroll bar.
    int width = 2 * ui.table->frameWidth() + ui.table->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < ui.table->columnCount(); ++column) {
        width += ui.table->columnWidth(column);
    }
    ui.table->setMinimumWidth(width);
    connect(ui.takeIntoFormButton, &QPushButton::clicked, this,
            &CompareDialog::takeSelectedIntoForm);
}

void CompareDialog::showValues() {
    columns_.front().settings = form_.settings();
    const DriveSettings& inForm = *columns_.front().settings;
    const std::vector<SettingLine>& lines = settingLines();
    for (size_t c = 0; c < columns_.size(); ++c) {
        const std::optional<DriveSettings>& settings = columns_[c].settings;
        for (size_t row = 0; row < lines.size(); ++row) {
            QTableWidgetItem* item =
                cell(settings ? QString::fromStdString(valueText(lines[row], *settings)) : "—");
            if (settings && lineDiffers(lines[row], *settings, inForm)) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setBackground(kDiffersTint);
            }
            ui.table->setItem(int(row), kFirstValueColumn + int(c), item);
        }
    }
}

void CompareDialog::selectLines(const std::function<bool(const SettingLine&)>& which) {
    ui.table->clearSelection();
    const std::vector<SettingLine>& lines = settingLines();
    for (size_t row = 0; row < lines.size(); ++row) {
        if (which(lines[row])) {
            ui.table->selectionModel()->select(
                ui.table->model()->index(int(row), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
}

void CompareDialog::takeSelectedIntoForm() {
    const SettingsColumn& source = columns_[1];
    if (!source.settings) {
        return;
    }
    DriveSettings taken = form_.settings();
    for (const QModelIndex& row : ui.table->selectionModel()->selectedRows()) {
        takeLine(settingLines()[size_t(row.row())], *source.settings, taken);
    }
    form_.show(taken);
    showValues();
}

}  // namespace config_tool
