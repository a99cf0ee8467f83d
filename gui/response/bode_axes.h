// Where a frequency-response plot's parts go in a widget of a given size: a legend along the top,
// one or two value panels stacked under it, frequency on a log axis along the bottom. Labels sit
// at round steps and are thinned until no two overlap, whatever the size.
#pragma once

#include <QColor>
#include <QFontMetrics>
#include <QLine>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

namespace response {

struct BodeLabel {
    QRect rect;
    QString text;
    QColor colour;
};

// What a panel shows: the values its curves span (clamped by the caller) and its title.
struct PanelValues {
    double lowest = 0.0;
    double highest = 0.0;
    QString title;
};

struct BodePanel {
    QRect area;
    double bottomValue = 0.0;  // the value at the area's bottom edge, round to the step
    double topValue = 0.0;
    double step = 0.0;  // between labelled values
    double rowOf(double value) const;
};

// A line sample and its text in the legend; the short text stands in when the long one finds no
// room, and an entry neither fits is left out.
struct LegendEntry {
    QString text;
    QString shortText;
    QColor colour;
    Qt::PenStyle style = Qt::SolidLine;
};

struct LegendSwatch {
    QLine line;
    QColor colour;
    Qt::PenStyle style;
};

class BodeLayout {
public:
    BodeLayout(QSize size, const QFontMetrics& metrics, double lowestHz, double highestHz,
               const std::vector<PanelValues>& panels, const std::vector<LegendEntry>& legend);

    double columnOf(double hz) const;
    const std::vector<BodePanel>& panels() const { return panels_; }
    const std::vector<double>& labelledHz() const { return labelledHz_; }
    const std::vector<LegendSwatch>& swatches() const { return swatches_; }
    // Every text, none overlapping another or leaving the widget.
    const std::vector<BodeLabel>& labels() const { return labels_; }
    // Adds the label when it fits beside those already placed; false when it does not.
    bool place(const BodeLabel& label);
    int lineHeight() const { return lineHeight_; }

private:
    void placeFrequencyLabels(const QFontMetrics& metrics);
    void placeValueLabels(const QFontMetrics& metrics, const std::vector<PanelValues>& values);
    // Returns the rows of text the legend takes.
    int placeLegend(const QFontMetrics& metrics, const std::vector<LegendEntry>& legend);

    QSize size_;
    int lineHeight_ = 0;
    int left_ = 0;
    int right_ = 0;
    double lowestHz_ = 1.0;
    double highestHz_ = 10.0;
    std::vector<BodePanel> panels_;
    std::vector<double> labelledHz_;
    std::vector<LegendSwatch> swatches_;
    std::vector<BodeLabel> labels_;
};

}  // namespace response
