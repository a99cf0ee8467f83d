#include "tuning_grid.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "step_capture.h"
#include "step_tuning.h"
#include "ui_plot_dialog.h"

namespace response {

namespace {
enum class Better { Lower, Higher, Neither };

struct Cell {
    QString text;
    double value = std::numeric_limits<double>::quiet_NaN();  // NaN: nothing to compare
};

struct ComparedRow {
    QLabel* present;
    QLabel* proposed;
    Better better;
};

std::vector<ComparedRow> comparedRows(Ui::PlotDialog& f) {
    return {{f.presentKp, f.proposedKp, Better::Neither},
            {f.presentKi, f.proposedKi, Better::Neither},
            {f.presentKd, f.proposedKd, Better::Neither},
            {f.presentPeakError, f.proposedPeakError, Better::Lower},
            {f.presentUndershoot, f.proposedUndershoot, Better::Lower},
            {f.presentSettlingTime, f.proposedSettlingTime, Better::Lower},
            {f.presentPhaseMargin, f.proposedPhaseMargin, Better::Higher},
            {f.presentGainMargin, f.proposedGainMargin, Better::Higher},
            {f.presentCrossover, f.proposedCrossover, Better::Neither},
            {f.presentSensitivityPeak, f.proposedSensitivityPeak, Better::Lower}};
}

Cell number(double value, int decimals) {
    return {fixedText(value, decimals), value};
}

// In the order of comparedRows.
std::vector<Cell> cellsOf(const GainsColumn& column) {
    const tuning::StepFigures& f = column.predicted;
    const tuning::StabilityMargins& m = column.margins;
    std::vector<Cell> cells{number(column.gains.p, 0), number(column.gains.i, 0),
                            number(column.gains.d, 0), number(f.peakError, 0),
                            number(f.undershoot, 0)};
    cells.push_back(f.settlingTimeMs > step_response::kLongestSettlingTime
                        ? Cell{QString(">%1").arg(step_response::kShownForLongSettling),
                               double(f.settlingTimeMs)}
                        : number(f.settlingTimeMs, 0));
    if (!m.crosses) {
        // The loop's gain never passes 1: there is no crossover to take margins at.
        cells.push_back({QCoreApplication::translate("PlotDialog", "none")});
        cells.resize(cells.size() + 3);
        return cells;
    }
    cells.push_back(number(m.phaseMarginDeg, 0));
    cells.push_back(std::isfinite(m.gainMarginDb)
                        ? number(m.gainMarginDb, 1)
                        : Cell{QString::fromUtf8("\u221e"), m.gainMarginDb});
    cells.push_back(number(m.crossoverHz, 0));
    cells.push_back(number(m.sensitivityPeak, 1));
    return cells;
}

bool isBetter(const Cell& one, const Cell& other, Better better) {
    // Figures that read the same are equal to the eye, whatever lies behind the rounding.
    if (one.text == other.text) {
        return false;
    }
    return better == Better::Lower ? one.value < other.value
                                   : better == Better::Higher && one.value > other.value;
}

void show(QLabel* label, const Cell& cell, bool better) {
    label->setText(cell.text);
    QFont font = label->font();
    font.setBold(better);
    label->setFont(font);
}

std::vector<QLabel*> identifiedValues(Ui::PlotDialog& f) {
    return {f.inertiaValue, f.viscousValue,    f.coulombValue,
            f.loadValue,    f.currentLagValue, f.fitValue};
}

void holdWidth(QLabel* label, const QStringList& widest) {
    QFont bold = label->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    int width = 0;
    for (const QString& text : widest) {
        width = std::max(width, metrics.horizontalAdvance(text));
    }
    label->setMinimumWidth(width);
}
}  // namespace

void holdTuningGridWidths(Ui::PlotDialog& form) {
    for (QLabel* value : identifiedValues(form)) {
        holdWidth(value, {"-8.88e-08", "-88.888", "100.0"});
    }
    // Gains reach 32767; a figure may not settle (">500"); margins reach "-180" and infinity.
    const QStringList widest{"32767", "-32767", ">500", "-180", "-88.8", "none"};
    for (const ComparedRow& row : comparedRows(form)) {
        holdWidth(row.present, widest);
        holdWidth(row.proposed, widest);
    }
    holdWidth(form.proposedBandwidth, {"888.8"});
}

void showIdentifiedValues(Ui::PlotDialog& form, const tuning::AxisModel* model, double fitPercent) {
    if (!model) {
        for (QLabel* value : identifiedValues(form)) {
            value->clear();
        }
        return;
    }
    form.inertiaValue->setText(QString::number(model->mechanics.inertia, 'g', 3));
    form.viscousValue->setText(QString::number(model->mechanics.viscous, 'g', 3));
    form.coulombValue->setText(fixedText(model->mechanics.coulomb, 3));
    form.loadValue->setText(fixedText(model->mechanics.load, 3));
    form.currentLagValue->setText(QString::number(model->currentLoop.timeConstant * 1e3, 'f', 3));
    form.fitValue->setText(QString::number(fitPercent, 'f', 1));
}

void showGainsTable(Ui::PlotDialog& form, const GainsColumn& present, const GainsColumn& proposed,
                    double proposedBandwidthHz) {
    const std::vector<ComparedRow> rows = comparedRows(form);
    const std::vector<Cell> now = cellsOf(present);
    const std::vector<Cell> then = cellsOf(proposed);
    for (size_t k = 0; k < rows.size(); ++k) {
        show(rows[k].present, now[k], isBetter(now[k], then[k], rows[k].better));
        show(rows[k].proposed, then[k], isBetter(then[k], now[k], rows[k].better));
    }
    form.proposedBandwidth->setText(QString::number(proposedBandwidthHz, 'f', 1));
}

void clearGainsTable(Ui::PlotDialog& form) {
    for (const ComparedRow& row : comparedRows(form)) {
        show(row.present, {}, false);
        show(row.proposed, {}, false);
    }
    form.proposedBandwidth->clear();
}

}  // namespace response
