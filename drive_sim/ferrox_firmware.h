// The Ferrox firmware as the configuration program sees it: a parameter store, identification
// and diagnosis values, the commands of the firmware, and room for the scope and step test.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "personality.h"

namespace drive_sim {

class FerroxFirmware;

// Commands served by an add-on of the firmware (the scope and the step test).
class FerroxExtension {
public:
    virtual ~FerroxExtension() = default;
    virtual void powerUp(FerroxFirmware& firmware) = 0;
    // Returns true when it took the command and filled the answer.
    virtual bool execute(FerroxFirmware& firmware, uint8_t command, uint16_t value,
                         Answer& answer) = 0;
};

class FerroxFirmware : public DrivePersonality {
public:
    FerroxFirmware();
    ~FerroxFirmware() override;

    void powerUp() override;
    Answer execute(uint8_t command, uint16_t value) override;
    uint32_t powerUpReply() const override;

    // The running parameter store (what commands 51 and 52 touch).
    uint16_t param(uint16_t number) const;
    void setParam(uint16_t number, uint16_t value);
    // Sets a value in the running and in the stored set, as if it came from the factory.
    void setStoredParam(uint16_t number, uint16_t value);
    // The stored set (what command 3 copies and power-up loads).
    const std::map<uint16_t, uint16_t>& storedParams() const;
    // Power-up state of a drive whose stored set differs from the factory's in `changes`.
    void restoreStoredParams(const std::map<uint16_t, uint16_t>& changes);
    // A drive that keeps at most `most` in `number` whenever command 51 writes it.
    void setWriteLimit(uint16_t number, uint16_t most);
    // Internal readings of command 120 (210 temperature, 220 high-voltage supply).
    void setReading(uint16_t selector, uint16_t value);

    bool powerStageEnabled() const;
    // A fault the drive detected itself: the bits go into the fault register and the power stage
    // goes off until faults are cleared and the drive enabled again.
    void raiseFault(uint16_t faultBits);
    uint8_t statusByte() const;   // the status byte of the firmware's framed replies
    int storeCount() const;       // how often command 3 stored the settings
    int faultClearCount() const;  // how often command 20 cleared faults

    void setExtension(std::unique_ptr<FerroxExtension> extension);
    FerroxExtension* extension() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace drive_sim
