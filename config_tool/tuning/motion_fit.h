// The axis's mechanics refined against the captured motion itself: the axis is run from rest,
// driven by the captured achieved current, and its inertia, friction and load are moved until
// its position follows the captured one. Where dry friction is strong, the speed it turns over
// is crossed within a point or two of the capture, and a fit that reads the direction off the
// counts lets the friction take the inertia's share; the run sees the speed the current makes.
#pragma once

#include "axis_model.h"
#include "step_record.h"

namespace tuning {

// From `first` (or, when it has no inertia, from the best of a few inertias a decade apart), the
// mechanics whose run matches the captured position best; `first` when none matches better.
Mechanics fitMotion(const StepRecord& record, const Mechanics& first);

}  // namespace tuning
