// The firmware's scope and its step disturbance test, as an add-on of the simulated Ferrox
// firmware. The scope records the selected channels, in ascending channel number, interleaved
// sample by sample; the step test runs the servo model of one axis with the drive's present
// parameters, fills the armed capture and stores its figures in the parameter store.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "ferrox_firmware.h"
#include "servo_model.h"

namespace drive_sim {

namespace scope {
constexpr uint16_t kDivider = 5012;
constexpr uint16_t kChannelMaskLow = 5020;
constexpr uint16_t kChannelMaskHigh = 5021;
constexpr uint16_t kSettlingTime = 6090;
constexpr uint16_t kPeakError = 6091;
constexpr uint16_t kUndershoot = 6092;

// What a channel records; the channels not listed record 0.
constexpr int kTargetCurrentChannel = 1;
constexpr int kAchievedCurrentChannel = 2;
constexpr int kPositionErrorChannel = 6;

constexpr int kTimePoints = 500;            // per capture
constexpr int kPreTriggerPoints = 25;       // the axis at rest before the step, 5 % of the span
constexpr uint16_t kLargestDivider = 1999;  // 50 s per capture; the model takes longer beyond
}  // namespace scope

// The test's settings of one axis, and whether the power stage is on.
ServoTuning axisTuning(const FerroxFirmware& firmware, int axis);

class ScopeBench : public FerroxExtension {
public:
    // The seed of the first test's current-sense noise; each later test takes the next one.
    explicit ScopeBench(uint64_t noiseSeed = 1, const AxisMechanics& mechanics = {})
        : noiseSeed_(noiseSeed), mechanics_(mechanics) {}

    void powerUp(FerroxFirmware& firmware) override;
    bool execute(FerroxFirmware& firmware, uint8_t command, uint16_t value,
                 Answer& answer) override;

    // The capture buffer in address order, for tests.
    const std::vector<uint16_t>& buffer() const { return buffer_; }
    void setBuffer(std::vector<uint16_t> words) { buffer_ = std::move(words); }
    bool armed() const { return armed_; }

private:
    void startCapture(const FerroxFirmware& firmware);
    void runStepTest(FerroxFirmware& firmware, int axis);
    uint16_t word(uint32_t address) const;

    std::vector<uint16_t> buffer_;
    std::vector<int> channels_;  // ascending channel numbers of the armed capture
    uint16_t divider_ = 0;
    bool armed_ = false;
    uint64_t noiseSeed_;
    AxisMechanics mechanics_;  // both axes
    int stepTests_ = 0;
};

}  // namespace drive_sim
