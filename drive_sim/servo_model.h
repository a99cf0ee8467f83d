// A small physical model of one servo axis for the drive's step disturbance test: a motor with
// inertia, torque constant and friction, a current loop whose speed follows the motor's
// inductance and resistance, and the drive's position PID with its peak-current limit. The drive
// holds position 0 while it adds a torque command of 75 % of the continuous current to the
// controller's output; the sum goes through the peak-current limit and the current loop, as the
// drive's own injection does. A following error beyond the limit switches the power stage off.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "friction.h"

namespace drive_sim {

// The drive parameters the test uses, in the drive's own units.
struct ServoTuning {
    uint16_t gainP = 0;
    uint16_t gainI = 0;
    uint16_t gainD = 0;
    uint16_t continuousCurrentMa = 0;
    uint16_t peakCurrentMa = 0;
    uint16_t followErrorLimit = 0;  // counts; beyond it the drive switches the power stage off
    uint16_t inductance = 375;      // mH x 150
    uint16_t resistance = 85;       // Ohm x 100
    bool powerStageEnabled = true;  // a disabled drive puts no current on the motor
};

// The constants of the motor, encoder and controller the model stands for.
namespace servo {
constexpr double kTickSeconds = 50e-6;  // servo cycle, also the scope's base rate
constexpr double kCountsPerRadian = 10000.0 / 6.283185307179586;  // 2500-line encoder, x4
constexpr double kCoulombVelocity = tuning::kFrictionSpeed / kCountsPerRadian;  // rad/s
// The current regulator's gain is fixed in the drive's hardware, so the closed current loop
// answers with the time constant L / (gain + R): a motor of higher inductance gets a slower loop.
constexpr double kCurrentRegulatorVoltsPerAmp = 9.0;
constexpr double kCurrentSenseNoiseAmps = 0.012;  // rms, the shunt amplifier and its converter
constexpr double kDerivativeFilterSeconds = 0.5e-3;
constexpr double kAmpsPerCountP = 7.0e-5;        // per unit of P gain
constexpr double kAmpsPerCountSecondI = 0.03;    // per unit of I gain
constexpr double kAmpSecondsPerCountD = 2.6e-7;  // per unit of D gain
constexpr double kInjectedFraction = 0.75;       // of the continuous current
}  // namespace servo

// The mechanics of the axis and the firmware's gain scaling; the defaults are the factory axis.
// `--simulate` may change each of them to stand for another machine.
struct AxisMechanics {
    double inertia = 2.0e-5;          // kg m^2, motor and coupled load
    double viscousFriction = 2.0e-5;  // Nm per rad/s
    double coulombFriction = 0.004;   // Nm
    double load = 0.0;                // Nm, a constant torque against the positive direction
    double torqueConstant = 0.05;     // Nm per A
    double gainScale = 1.0;           // multiplies the firmware's P, I and D scaling
};

// The closed current loop's time constant for the inductance and resistance as the drive
// stores them.
double currentLoopSeconds(uint16_t inductance, uint16_t resistance);

// What the drive sees of the axis in one servo cycle.
struct ServoSample {
    double targetCurrent = 0.0;    // A, controller output plus injection, after the limit
    double achievedCurrent = 0.0;  // A, as the drive's current sense measures it
    int32_t positionError = 0;     // counts, commanded minus measured position
};

class ServoAxis {
public:
    // A drive with an integral gain has been holding the constant load before the test: its
    // integral starts where it carries the load (as far as the peak current allows).
    ServoAxis(const ServoTuning& tuning, uint64_t noiseSeed, const AxisMechanics& mechanics = {});

    // The torque command the drive adds to the position controller's output.
    void setInjectedCurrent(double amps) { injected_ = amps; }
    // Runs one servo cycle and returns the state at its end.
    ServoSample tick();
    bool tripped() const { return tripped_; }

private:
    AxisMechanics mechanics_;
    double kp_;
    double ki_;
    double kd_;
    double peakCurrent_;
    int32_t followErrorLimit_;
    double currentStep_;  // share of the way to the target the current covers per cycle
    bool powered_;
    std::mt19937_64 noiseSource_;
    std::normal_distribution<double> senseNoise_{0.0, servo::kCurrentSenseNoiseAmps};

    double injected_ = 0.0;
    double angle_ = 0.0;         // rad
    double velocity_ = 0.0;      // rad/s
    double current_ = 0.0;       // A
    double integral_ = 0.0;      // count seconds
    double filteredRate_ = 0.0;  // counts/s
    int32_t lastError_ = 0;
    bool tripped_ = false;
};

// The test's figures as the drive stores them.
struct StepMetrics {
    uint16_t peakError = 0;       // counts, largest error in the direction the injection pushes
    uint16_t undershoot = 0;      // counts, largest swing past zero after the peak
    uint16_t settlingTimeMs = 0;  // from the step until the error stays inside its band
};

namespace servo {
constexpr int kMetricTicks = 10000;            // the figures look at 500 ms after the step
constexpr int kSettlingBandMin = 3;            // counts; the encoder's own dither stays inside
constexpr double kSettlingBandFraction = 0.1;  // of the peak error
}  // namespace servo

// Figures from the error of every servo cycle after the step (one entry per cycle).
StepMetrics measureStep(const std::vector<int32_t>& errorAfterStep);

struct StepRun {
    std::vector<ServoSample> points;  // one per `cyclesPerPoint` servo cycles
    StepMetrics metrics;
    bool tripped = false;  // the following error passed its limit and the power stage went off
};

// Runs the test and records every `cyclesPerPoint`-th servo cycle, `points` of them: the first
// `preTriggerPoints` with the axis at rest, the injection right after. The figures always look
// at the first 500 ms after the step, however short the recording. The same seed gives the same
// current-sense noise.
StepRun runStepDisturbance(const ServoTuning& tuning, int cyclesPerPoint, int points,
                           int preTriggerPoints, uint64_t noiseSeed = 1,
                           const AxisMechanics& mechanics = {});

}  // namespace drive_sim
