// The frequency response of the position loop for the present and the proposed gains: the open
// loop's gain and phase over log frequency with the sensitivity dashed, the crossover and both
// margins marked; or, as the second view, the disturbance response the run measured drawn over
// the model's, the band where the measurement means nothing shaded.
#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "bode_axes.h"
#include "frequency_response.h"

namespace response {

class BodePlot : public QWidget {
    Q_OBJECT

public:
    enum View { Loop = 0, Disturbance = 1 };

    explicit BodePlot(QWidget* parent = nullptr);

    // The identified axis under the gains the run had, and what the run measured; each gain set
    // with the margins the tuning panel shows for it.
    void showAxis(const tuning::AxisModel& model, const tuning::DriveGains& present,
                  const tuning::StabilityMargins& presentMargins, const tuning::StepRecord& run);
    void showProposal(const tuning::DriveGains& proposed,
                      const tuning::StabilityMargins& proposedMargins);
    void clear();

    View view() const { return view_; }
    const std::optional<tuning::LoopResponse>& present() const { return present_; }
    const std::optional<tuning::LoopResponse>& proposed() const { return proposed_; }
    const tuning::MeasuredDisturbance& measured() const { return measured_; }
    // Every text of the view as it is drawn at the widget's present size.
    std::vector<BodeLabel> labels() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void setView(int view);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BodeLayout layout() const;
    void drawLoop(QPainter& painter, const BodeLayout& layout) const;
    void drawDisturbance(QPainter& painter, const BodeLayout& layout) const;
    std::vector<PanelValues> panelValues() const;
    std::vector<LegendEntry> legend() const;
    // Where the measurement is not trusted: stretches of the grid, each with its reason.
    void placeBandLabels(BodeLayout& layout) const;

    View view_ = Loop;
    tuning::AxisModel model_;
    std::vector<double> hz_;
    std::optional<tuning::LoopResponse> present_;
    std::optional<tuning::LoopResponse> proposed_;
    tuning::MeasuredDisturbance measured_;
};

}  // namespace response
