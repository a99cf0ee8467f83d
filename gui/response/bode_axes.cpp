#include "bode_axes.h"

#include <algorithm>
#include <cmath>

#include "plot_axes.h"

namespace response {

namespace {
constexpr int kEdge = 2;        // px between the widget's edge and anything drawn
constexpr int kLabelGap = 4;    // px between a label and what it labels
constexpr int kLegendRows = 2;  // at most; an entry that finds no room there is left out
constexpr int kSwatchWidth = 16;
constexpr int kLegendSpacing = 12;
constexpr int kLegendRowGap = 2;
const QColor kAxisText(60, 60, 60);

// Frequency labels at these multiples of every decade, the densest set that leaves room first.
const std::vector<std::vector<double>> kDecadeMultiples = {{1.0, 2.0, 5.0}, {1.0}};

QString frequencyText(double hz) {
    return QString::number(hz, 'g', 4);
}

// Round to the step, then once more if rounding left more steps than there is room for.
void roundToSteps(BodePanel& panel, const PanelValues& values, int maxSteps) {
    double lowest = values.lowest;
    double highest = values.highest;
    if (!(highest > lowest)) {
        lowest -= 0.5;
        highest += 0.5;
    }
    for (int pass = 0; pass < 2; ++pass) {
        panel.step = niceStep(highest - lowest, maxSteps);
        panel.bottomValue = std::floor(lowest / panel.step) * panel.step;
        panel.topValue = std::ceil(highest / panel.step) * panel.step;
        if ((panel.topValue - panel.bottomValue) / panel.step <= maxSteps + 1e-9) {
            break;
        }
        lowest = panel.bottomValue;
        highest = panel.topValue;
    }
}
}  // namespace

double BodePanel::rowOf(double value) const {
    const double share = (value - bottomValue) / (topValue - bottomValue);
    return area.bottom() - share * (area.height() - 1);
}

BodeLayout::BodeLayout(QSize size, const QFontMetrics& metrics, double lowestHz, double highestHz,
                       const std::vector<PanelValues>& panels,
                       const std::vector<LegendEntry>& legend)
    : size_(size),
      lineHeight_(metrics.height()),
      lowestHz_(lowestHz > 0.0 ? lowestHz : 1.0),
      highestHz_(highestHz > lowestHz_ ? highestHz : lowestHz_ * 10.0) {
    const int count = int(std::max<size_t>(1, panels.size()));
    const int legendRows = placeLegend(metrics, legend);
    const int top =
        kEdge + legendRows * (lineHeight_ + kLegendRowGap) + lineHeight_ / 2 + kLabelGap;
    const int bottom = size.height() - kEdge - lineHeight_ - kLabelGap - lineHeight_ / 2;
    const int gap = lineHeight_ + kLabelGap;
    const int height = std::max(1, (bottom - top - gap * (count - 1)) / count);
    const int maxSteps = std::max(1, height / (lineHeight_ + kLabelGap));
    int widest = 0;
    for (size_t k = 0; k < panels.size(); ++k) {
        BodePanel panel;
        roundToSteps(panel, panels[k], maxSteps);
        for (double value : stepMultiples(panel.bottomValue, panel.topValue, panel.step)) {
            const QString text = QString::number(value, 'f', stepDecimals(panel.step));
            widest = std::max(widest, metrics.horizontalAdvance(text));
        }
        panel.area = QRect(0, top + int(k) * (height + gap), 0, height);
        panels_.push_back(panel);
    }
    left_ = widest + 2 * kLabelGap;
    right_ = std::max(left_ + 1, size.width() - kEdge - kLabelGap);
    for (BodePanel& panel : panels_) {
        panel.area.setLeft(left_);
        panel.area.setRight(right_);
    }
    placeFrequencyLabels(metrics);
    placeValueLabels(metrics, panels);
}

double BodeLayout::columnOf(double hz) const {
    const double share = std::log(hz / lowestHz_) / std::log(highestHz_ / lowestHz_);
    return left_ + share * (right_ - left_);
}

bool BodeLayout::place(const BodeLabel& label) {
    if (label.rect.isEmpty() || !QRect(QPoint(0, 0), size_).contains(label.rect)) {
        return false;
    }
    const QRect spaced = label.rect.adjusted(-1, -1, 1, 1);
    for (const BodeLabel& placed : labels_) {
        if (placed.rect.intersects(spaced)) {
            return false;
        }
    }
    labels_.push_back(label);
    return true;
}

void BodeLayout::placeFrequencyLabels(const QFontMetrics& metrics) {
    if (panels_.empty()) {
        return;
    }
    const int top = panels_.back().area.bottom() + lineHeight_ / 2 + kLabelGap;
    const auto labelsFor = [&](const std::vector<double>& multiples) {
        std::vector<double> hz;
        for (double decade = std::pow(10.0, std::floor(std::log10(lowestHz_)));
             decade <= highestHz_; decade *= 10.0) {
            for (double multiple : multiples) {
                const double f = multiple * decade;
                if (f >= lowestHz_ * (1 - 1e-9) && f <= highestHz_ * (1 + 1e-9)) {
                    hz.push_back(f);
                }
            }
        }
        std::vector<BodeLabel> labels;
        for (size_t k = 0; k < hz.size(); ++k) {
            const QString text = frequencyText(hz[k]) + (k + 1 == hz.size() ? " Hz" : "");
            const int width = metrics.horizontalAdvance(text) + 2;
            const int left =
                std::clamp(int(columnOf(hz[k])) - width / 2, 0, std::max(0, size_.width() - width));
            labels.push_back({QRect(left, top, width, lineHeight_), text, kAxisText});
        }
        return std::make_pair(hz, labels);
    };
    for (size_t set = 0; set < kDecadeMultiples.size(); ++set) {
        const auto [hz, labels] = labelsFor(kDecadeMultiples[set]);
        std::vector<QRect> rects;
        for (const BodeLabel& label : labels) {
            rects.push_back(label.rect);
        }
        if (keepGap(rects, 2 * kLabelGap) || set + 1 == kDecadeMultiples.size()) {
            // Without room even for the decades, those that fit are kept, the lowest first.
            for (size_t k = 0; k < labels.size(); ++k) {
                if (place(labels[k])) {
                    labelledHz_.push_back(hz[k]);
                }
            }
            return;
        }
    }
}

void BodeLayout::placeValueLabels(const QFontMetrics& metrics,
                                  const std::vector<PanelValues>& values) {
    for (size_t k = 0; k < panels_.size(); ++k) {
        const BodePanel& panel = panels_[k];
        for (double value : stepMultiples(panel.bottomValue, panel.topValue, panel.step)) {
            const QString text = QString::number(value, 'f', stepDecimals(panel.step));
            const int width = metrics.horizontalAdvance(text) + 2;
            const int row = int(std::lround(panel.rowOf(value)));
            place({QRect(left_ - kLabelGap - width, row - lineHeight_ / 2, width, lineHeight_),
                   text, kAxisText});
        }
    }
    for (size_t k = 0; k < panels_.size(); ++k) {
        const QRect& area = panels_[k].area;
        const int width = metrics.horizontalAdvance(values[k].title) + 2;
        place({QRect(area.left() + kLabelGap, area.top() + kEdge, width, lineHeight_),
               values[k].title, kAxisText});
    }
}

int BodeLayout::placeLegend(const QFontMetrics& metrics, const std::vector<LegendEntry>& legend) {
    int x = kEdge;
    int row = 0;
    for (const LegendEntry& entry : legend) {
        for (const QString& text : {entry.text, entry.shortText}) {
            const int width = kSwatchWidth + kLabelGap + metrics.horizontalAdvance(text) + 2;
            if (x > kEdge && x + width > size_.width() - kEdge && row + 1 < kLegendRows) {
                ++row;
                x = kEdge;
            }
            const int top = kEdge + row * (lineHeight_ + kLegendRowGap);
            const QRect rect(x + kSwatchWidth + kLabelGap, top, width - kSwatchWidth - kLabelGap,
                             lineHeight_);
            if (rect.right() < size_.width() - kEdge && place({rect, text, entry.colour})) {
                const int middle = top + lineHeight_ / 2;
                swatches_.push_back(
                    {QLine(x, middle, x + kSwatchWidth, middle), entry.colour, entry.style});
                x = rect.right() + kLegendSpacing;
                break;
            }
        }
    }
    return legend.empty() ? 1 : row + 1;
}

}  // namespace response
