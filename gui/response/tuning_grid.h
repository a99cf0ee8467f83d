// The tuning panel's two tables: the identified axis, and the present gains beside the proposed
// ones with what the model predicts for each (step test figures and stability margins), the
// better of each pair in bold. Only the values change; names and units stay as the form has them.
#pragma once

#include "margins.h"
#include "proposal.h"

namespace Ui {
class PlotDialog;
}

namespace response {

// One column of the gains table.
struct GainsColumn {
    tuning::DriveGains gains;
    tuning::StepFigures predicted;
    tuning::StabilityMargins margins;
};

// Gives every value a width that holds the widest value it may show, in bold, so the columns
// keep still while values come and go and never run into their neighbours.
void holdTuningGridWidths(Ui::PlotDialog& form);
// The identified axis's values; none clears them.
void showIdentifiedValues(Ui::PlotDialog& form, const tuning::AxisModel* model, double fitPercent);
void showGainsTable(Ui::PlotDialog& form, const GainsColumn& present, const GainsColumn& proposed,
                    double proposedBandwidthHz);
void clearGainsTable(Ui::PlotDialog& form);

}  // namespace response
