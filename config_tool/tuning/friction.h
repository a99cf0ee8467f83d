// The speed over which dry friction turns from one direction to the other. The identification,
// the prediction and the simulated axis all take the friction's direction as tanh(speed / this):
// a model that fades it in faster or slower than the axis it is fitted to would push the
// difference into the viscous term.
#pragma once

namespace tuning {

constexpr double kFrictionSpeed = 1500.0;  // counts/s

}  // namespace tuning
