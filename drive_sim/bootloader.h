// The drive's bootloader, as the flasher talks to it: a status byte in every reply (1 idle, 0x30
// bits while erasing or programming), its version, and a flash memory modelled as a chip has it:
// erasing sets every word to 0xFFFF, programming can only clear bits.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "personality.h"

namespace drive_sim {

struct BootloaderSettings {
    uint16_t version = 109;
    size_t flashWords = 0x40000;  // 256 Ki words: room for 3640 packets
    int eraseBusyFrames = 40;     // frames the erase keeps the bootloader busy
    int programBusyFrames = 4;    // frames one packet keeps it busy

    // Faults.
    bool busyForever = false;                // an erase or a packet never finishes
    uint16_t faultBits = 0;                  // the answer to the fault-bit request
    bool unexpectedStatusAfterBusy = false;  // leaves the busy state with status 0, not 1
    bool failVerification = false;           // the verification says no whatever the memory holds
};

class SimulatedBootloader : public DrivePersonality {
public:
    explicit SimulatedBootloader(BootloaderSettings settings = {});
    ~SimulatedBootloader() override;

    void powerUp() override;
    Answer execute(uint8_t command, uint16_t value) override;
    uint32_t powerUpReply() const override;

    BootloaderSettings& settings();

    // The flash memory; it keeps its contents across power cycles, as flash does.
    const std::vector<uint16_t>& flash() const;
    // The flash of a drive that was programmed in an earlier session.
    void restoreFlash(std::vector<uint16_t> flash);
    uint16_t setupWord() const;
    int eraseCount() const;
    int packetsProgrammed() const;  // good packets since the last erase
    int badPackets() const;         // packets since the last erase that went wrong
    bool busy() const;
    // Whether the last verification since the power-up said yes.
    bool verifiedSincePowerUp() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// What a drive's flash holds when it leaves the factory: an old firmware, certainly not all ones.
// A word depends on the low 16 bits of its address only, so the contents repeat with that period.
uint16_t factoryFlashWord(size_t address);
constexpr size_t kFactoryFlashPeriod = 0x10000;
std::vector<uint16_t> factoryFlash(size_t words);
constexpr uint16_t kErasedFlashWord = 0xFFFF;

// One period (kFactoryFlashPeriod words) of an erased flash or of the factory's.
enum class FlashBase { Erased, Factory };
const std::vector<uint16_t>& flashPeriod(FlashBase base);
// Makes `flash` a whole flash of `words` words, erased or as it left the factory, in the storage
// it already has: a reader of many state files does not take and touch half a megabyte for each.
void makeFlash(std::vector<uint16_t>& flash, FlashBase base, size_t words);

std::unique_ptr<DrivePersonality> makeBootloader();
std::unique_ptr<SimulatedBootloader> makeBootloader(BootloaderSettings settings);

}  // namespace drive_sim
