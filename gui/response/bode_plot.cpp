#include "bode_plot.h"

#include <QPainter>
#include <QPolygonF>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "plot_axes.h"

namespace response {

namespace {
const QColor kPresentColour(0, 0, 160);
const QColor kProposedColour(220, 110, 0);
const QColor kMeasuredColour(0, 0, 0);
const QColor kUntrustedMeasuredColour(150, 150, 150);
const QColor kSensitivityColour(110, 110, 110);
const QColor kGridColour(0, 0, 0, 28);
const QColor kReferenceColour(0, 0, 0, 110);
const QColor kShadeColour(0, 0, 0, 22);
// Beyond these the open loop's gain says nothing a tuner reads: the curve leaves the panel.
constexpr double kLowestLoopDb = -60.0;
constexpr double kHighestLoopDb = 60.0;
// The disturbance panel shows this much below its highest curve.
constexpr double kDisturbanceSpanDb = 80.0;
constexpr int kMarkWidth = 3;
constexpr int kBehindTextAlpha = 200;

QString text(const char* source) {
    return BodePlot::tr(source);
}

double decibels(double magnitude) {
    return 20.0 * std::log10(magnitude);
}

std::vector<double> inDecibels(const std::vector<double>& magnitudes) {
    std::vector<double> db;
    for (double magnitude : magnitudes) {
        db.push_back(decibels(magnitude));
    }
    return db;
}

void widen(PanelValues& values, const std::vector<double>& curve) {
    for (double value : curve) {
        if (std::isfinite(value)) {
            values.lowest = std::min(values.lowest, value);
            values.highest = std::max(values.highest, value);
        }
    }
}

PanelValues emptyValues(const QString& title) {
    return {INFINITY, -INFINITY, title};
}

// Straight between neighbouring points; a point that is not finite breaks the curve.
void drawCurve(QPainter& painter, const BodeLayout& layout, const BodePanel& panel,
               const std::vector<double>& hz, const std::vector<double>& values) {
    painter.save();
    painter.setClipRect(panel.area);
    QPolygonF stretch;
    const auto drawStretch = [&] {
        if (stretch.size() >= 2) {
            painter.drawPolyline(stretch);
        }
        stretch.clear();
    };
    for (size_t k = 0; k < hz.size() && k < values.size(); ++k) {
        if (std::isfinite(values[k])) {
            stretch << QPointF(layout.columnOf(hz[k]), panel.rowOf(values[k]));
        } else {
            drawStretch();
        }
    }
    drawStretch();
    painter.restore();
}

void drawGrid(QPainter& painter, const BodeLayout& layout) {
    painter.setPen(QPen(kGridColour, 0));
    for (const BodePanel& panel : layout.panels()) {
        for (double value : stepMultiples(panel.bottomValue, panel.topValue, panel.step)) {
            const double row = panel.rowOf(value);
            painter.drawLine(QLineF(panel.area.left(), row, panel.area.right(), row));
        }
        for (double hz : layout.labelledHz()) {
            const double column = layout.columnOf(hz);
            painter.drawLine(QLineF(column, panel.area.top(), column, panel.area.bottom()));
        }
    }
}

void drawReference(QPainter& painter, const BodePanel& panel, double value) {
    if (value < panel.bottomValue || value > panel.topValue) {
        return;
    }
    painter.setPen(QPen(kReferenceColour, 0));
    const double row = panel.rowOf(value);
    painter.drawLine(QLineF(panel.area.left(), row, panel.area.right(), row));
}

// The first and last index of every run of untrusted points.
std::vector<std::pair<size_t, size_t>> untrustedStretches(const std::vector<bool>& trusted) {
    std::vector<std::pair<size_t, size_t>> stretches;
    for (size_t k = 0; k < trusted.size(); ++k) {
        if (trusted[k]) {
            continue;
        }
        if (stretches.empty() || stretches.back().second + 1 != k) {
            stretches.push_back({k, k});
        } else {
            stretches.back().second = k;
        }
    }
    return stretches;
}

// A stretch of frequencies from `first` to `last` of the grid, as columns: each point owns the
// half of the way to its neighbours, in log frequency.
std::pair<double, double> stretchColumns(const BodeLayout& layout, const std::vector<double>& hz,
                                         size_t first, size_t last) {
    const double low = first == 0 ? hz.front() : std::sqrt(hz[first - 1] * hz[first]);
    const double high = last + 1 == hz.size() ? hz.back() : std::sqrt(hz[last] * hz[last + 1]);
    return {layout.columnOf(low), layout.columnOf(high)};
}

QString marginsText(const tuning::StabilityMargins& m) {
    if (!m.crosses) {
        return text("no crossover");
    }
    const QString gain = std::isfinite(m.gainMarginDb)
                             ? QString::number(m.gainMarginDb, 'f', 1) + " dB"
                             : text("none");
    return text("PM %1°, GM %2").arg(m.phaseMarginDeg, 0, 'f', 1).arg(gain);
}
}  // namespace

BodePlot::BodePlot(QWidget* parent) : QWidget(parent) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void BodePlot::showAxis(const tuning::AxisModel& model, const tuning::DriveGains& present,
                        const tuning::StabilityMargins& presentMargins,
                        const tuning::StepRecord& run) {
    model_ = model;
    hz_ = tuning::frequencyGrid(run.samplePeriod);
    present_ = tuning::loopResponse(model, present, hz_, presentMargins);
    if (present_->hz.empty()) {
        present_.reset();
    }
    proposed_.reset();
    measured_ = tuning::measuredDisturbance(run, hz_);
    update();
}

void BodePlot::showProposal(const tuning::DriveGains& proposed,
                            const tuning::StabilityMargins& proposedMargins) {
    if (present_) {
        proposed_ = tuning::loopResponse(model_, proposed, hz_, proposedMargins);
        update();
    }
}

void BodePlot::clear() {
    present_.reset();
    proposed_.reset();
    measured_ = {};
    update();
}

void BodePlot::setView(int view) {
    view_ = view == Disturbance ? Disturbance : Loop;
    update();
}

QSize BodePlot::sizeHint() const {
    return QSize(500, 400);
}

QSize BodePlot::minimumSizeHint() const {
    return QSize(100, 100);
}

std::vector<PanelValues> BodePlot::panelValues() const {
    if (view_ == Disturbance) {
        PanelValues values = emptyValues(text("Error per injected current [dB re 1 count/A]"));
        for (const auto* response : {&present_, &proposed_}) {
            if (*response) {
                widen(values, inDecibels((*response)->disturbanceCountsPerAmp));
            }
        }
        widen(values, inDecibels(measured_.countsPerAmp));
        values.lowest = std::max(values.lowest, values.highest - kDisturbanceSpanDb);
        return {values};
    }
    PanelValues gain = emptyValues(text("Open loop gain, dashed: sensitivity |S| [dB]"));
    PanelValues phase = emptyValues(text("Phase [deg]"));
    widen(phase, {-180.0});
    for (const auto* response : {&present_, &proposed_}) {
        if (*response) {
            widen(gain, (*response)->openLoopDb);
            widen(gain, (*response)->sensitivityDb);
            widen(phase, (*response)->openLoopPhaseDeg);
        }
    }
    gain.lowest = std::max(gain.lowest, kLowestLoopDb);
    gain.highest = std::min(gain.highest, kHighestLoopDb);
    return {gain, phase};
}

std::vector<LegendEntry> BodePlot::legend() const {
    std::vector<LegendEntry> entries;
    if (view_ == Disturbance) {
        entries.push_back({text("model, present gains"), text("present"), kPresentColour});
        if (proposed_) {
            entries.push_back({text("model, proposed gains"), text("proposed"), kProposedColour});
        }
        if (!measured_.hz.empty()) {
            entries.push_back(
                {text("measured (grey: not trusted)"), text("measured"), kMeasuredColour});
        }
        return entries;
    }
    entries.push_back(
        {text("present: ") + marginsText(present_->margins), text("present"), kPresentColour});
    if (proposed_) {
        entries.push_back({text("proposed: ") + marginsText(proposed_->margins), text("proposed"),
                           kProposedColour});
    }
    return entries;
}

BodeLayout BodePlot::layout() const {
    BodeLayout layout(size(), fontMetrics(), hz_.empty() ? 1.0 : hz_.front(),
                      hz_.empty() ? 10.0 : hz_.back(), panelValues(), legend());
    if (view_ == Disturbance) {
        placeBandLabels(layout);
    }
    return layout;
}

void BodePlot::placeBandLabels(BodeLayout& layout) const {
    const BodePanel& panel = layout.panels().front();
    for (const auto& [first, last] : untrustedStretches(measured_.trusted)) {
        const auto [left, right] = stretchColumns(layout, measured_.hz, first, last);
        const bool slow = measured_.hz[first] < measured_.lowestTrustedHz;
        for (const QString& reason :
             slow ? QStringList{text("too slow for the capture"), text("too slow")}
                  : QStringList{text("in the noise")}) {
            const int width = fontMetrics().horizontalAdvance(reason) + 2;
            const int x = int((left + right) / 2) - width / 2;
            const int y = panel.area.top() + 2 * layout.lineHeight();
            if (right - left >= width && layout.place({QRect(x, y, width, layout.lineHeight()),
                                                       reason, kSensitivityColour})) {
                break;
            }
        }
    }
}

std::vector<BodeLabel> BodePlot::labels() const {
    if (!present_) {
        return {};
    }
    return layout().labels();
}

void BodePlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (!present_) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         text("Run a test to see the axis's frequency response."));
    } else {
        const BodeLayout shown = layout();
        drawGrid(painter, shown);
        if (view_ == Disturbance) {
            drawDisturbance(painter, shown);
        } else {
            drawLoop(painter, shown);
        }
        for (const LegendSwatch& swatch : shown.swatches()) {
            painter.setPen(QPen(swatch.colour, 2, swatch.style));
            painter.drawLine(swatch.line);
        }
        QColor behindText = palette().color(QPalette::Base);
        behindText.setAlpha(kBehindTextAlpha);
        for (const BodeLabel& label : shown.labels()) {
            painter.fillRect(label.rect, behindText);  // titles sit over the curves
            painter.setPen(label.colour);
            painter.drawText(label.rect, Qt::AlignLeft | Qt::AlignVCenter, label.text);
        }
        painter.setPen(QPen(kReferenceColour, 0));
        painter.setBrush(Qt::NoBrush);
        for (const BodePanel& panel : shown.panels()) {
            painter.drawRect(panel.area);
        }
    }
    painter.setPen(palette().color(QPalette::Dark));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

void BodePlot::drawLoop(QPainter& painter, const BodeLayout& layout) const {
    const BodePanel& gain = layout.panels()[0];
    const BodePanel& phase = layout.panels()[1];
    drawReference(painter, gain, 0.0);
    drawReference(painter, phase, -180.0);
    const auto drawGains = [&](const tuning::LoopResponse& response, const QColor& colour) {
        painter.setPen(QPen(kSensitivityColour, 0, Qt::DashLine));
        drawCurve(painter, layout, gain, response.hz, response.sensitivityDb);
        painter.setPen(QPen(colour, 1.5));
        drawCurve(painter, layout, gain, response.hz, response.openLoopDb);
        drawCurve(painter, layout, phase, response.hz, response.openLoopPhaseDeg);
        const tuning::StabilityMargins& m = response.margins;
        if (!m.crosses) {
            return;
        }
        // The crossover through both panels; the phase margin from -180 deg up to the phase
        // there, the gain margin from 0 dB down to the gain where the phase is -180 deg.
        const double crossover = layout.columnOf(m.crossoverHz);
        painter.setPen(QPen(colour, 0, Qt::DotLine));
        painter.drawLine(QLineF(crossover, gain.area.top(), crossover, phase.area.bottom()));
        painter.setPen(QPen(colour, kMarkWidth));
        painter.drawLine(QLineF(crossover, phase.rowOf(-180.0), crossover,
                                phase.rowOf(m.phaseMarginDeg - 180.0)));
        if (m.halfTurnHz > 0.0 && std::isfinite(m.gainMarginDb)) {
            const double halfTurn = layout.columnOf(m.halfTurnHz);
            painter.save();
            painter.setClipRect(gain.area);
            painter.drawLine(
                QLineF(halfTurn, gain.rowOf(0.0), halfTurn, gain.rowOf(-m.gainMarginDb)));
            painter.restore();
        }
    };
    drawGains(*present_, kPresentColour);
    if (proposed_) {
        drawGains(*proposed_, kProposedColour);
    }
}

void BodePlot::drawDisturbance(QPainter& painter, const BodeLayout& layout) const {
    const BodePanel& panel = layout.panels().front();
    painter.setPen(Qt::NoPen);
    painter.setBrush(kShadeColour);
    for (const auto& [first, last] : untrustedStretches(measured_.trusted)) {
        const auto [left, right] = stretchColumns(layout, measured_.hz, first, last);
        painter.drawRect(
            QRectF(QPointF(left, panel.area.top()), QPointF(right, panel.area.bottom())));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kPresentColour, 1.5));
    drawCurve(painter, layout, panel, present_->hz, inDecibels(present_->disturbanceCountsPerAmp));
    if (proposed_) {
        painter.setPen(QPen(kProposedColour, 1.5));
        drawCurve(painter, layout, panel, proposed_->hz,
                  inDecibels(proposed_->disturbanceCountsPerAmp));
    }
    std::vector<double> measured = inDecibels(measured_.countsPerAmp);
    painter.setPen(QPen(kUntrustedMeasuredColour, 1.5));
    drawCurve(painter, layout, panel, measured_.hz, measured);
    for (size_t k = 0; k < measured.size(); ++k) {
        if (!measured_.trusted[k]) {
            measured[k] = NAN;
        }
    }
    painter.setPen(QPen(kMeasuredColour, 1.5));
    drawCurve(painter, layout, panel, measured_.hz, measured);
}

}  // namespace response
