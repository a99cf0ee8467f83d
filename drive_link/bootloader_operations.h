// The bootloader's operations by name. Each sends its command frame and the no-ops that fetch
// its answer, which arrives in the reply of the second frame after it, so that no workflow has
// to count frames. Every operation sets `error` on a missing link or a reply that fails its
// CRC and never clears it, like `transact`.
#pragma once

#include <cstdint>
#include <string>

namespace drive_link {
class Link;
}

namespace bootloader {
// The status byte that every reply carries.
struct Status {
    uint8_t byte = 0;  // 0 when the link is down
    // Erasing or programming: one of the busy bits is set.
    bool busy() const;
    // Done and ready for the next command. Anything else without a busy bit is unexpected.
    bool idle() const;
};

// The bootloader versions this flasher writes images for.
bool isSupportedVersion(uint16_t version);

// Three no-ops: the first two still carry what the drive sent before, the third tells whether
// the drive runs its firmware instead of the bootloader (it answers the bootloader's no-op with
// kFirmwareNoOpAnswer).
bool answersAsFirmware(drive_link::Link& link, bool& error);
// The bootloader's version: the request and its two no-ops.
uint16_t readVersion(drive_link::Link& link, bool& error);
// The fault bits, 0 when none is set: the request and its two no-ops.
uint16_t readFaultBits(drive_link::Link& link, bool& error);
// The first fault-bit request of a flash, which also tells whether a bootloader answers: a drive
// that runs its firmware gives a fixed answer that fails its CRC, so the bits are looked at
// regardless. Only that answer's CRC counts in `error`; the two frames before it carry answers
// to whatever the link did before the flash.
enum class FirstCheck { Ready, NotBootloader, FaultBitsActive };
FirstCheck checkBeforeFlashing(drive_link::Link& link, bool& error);

// The image's setup word; sent ahead of the erase, its answer is not waited for.
void sendSetupWord(drive_link::Link& link, uint16_t setupWord, bool& error);
// Starts erasing the flash (the command with its key); the bootloader is busy until it is done.
void startErase(drive_link::Link& link, bool& error);
// The words of the packet being written, each followed by the two no-ops that fetch the answers
// in flight, as one run. It ends after the first word whose frames failed, or after the first
// word when `error` was set before: the link is lost then, and true is returned, so that a
// packet with a corrupted or unanswered frame is never programmed. The no-ops' own failures do
// not go into `error`.
bool packetWordsFailed(drive_link::Link& link, const uint16_t* words, int count, bool& error);
// Programs the words written since the last packet; the bootloader is busy until it is done.
// Then the trace's `between` and the status once the command has been answered (as
// statusAfterCommand), in one run: nothing in it waits on a reply. The command's failure goes
// into `commandError`, the status's into `statusError`.
Status programPacketThenStatus(drive_link::Link& link, const std::string& between,
                               bool& commandError, bool& statusError);

// The status once the command before has been answered: two no-ops, the status of the second's
// reply.
Status statusAfterCommand(drive_link::Link& link, bool& error);
// The status in one more no-op's reply, for polling a busy bootloader.
Status pollStatus(drive_link::Link& link, bool& error);
// A busy bootloader's poll: the status, then its fault bits (readFaultBits), then the link
// check's two no-ops (as reportLinkError sends them), in one run: whatever the status says, the
// check comes next. Every frame's failure goes into `error`; the caller tells a lost link.
Status pollStatusAndFaultBits(drive_link::Link& link, uint16_t& faultBits, bool& error);
// Two no-ops that fetch the answers to the two commands before them, which nobody needs.
void drainAnswers(drive_link::Link& link, bool& error);

// Has the bootloader check its whole flash against what was written and fetches the verdict
// after the pause it needs. True only when the verdict says yes in a reply that passed its CRC:
// a corrupted reply must not turn a failed check into a success. The link's earlier failures
// do not count here; the verdict alone decides.
bool flashVerified(drive_link::Link& link);
}  // namespace bootloader
