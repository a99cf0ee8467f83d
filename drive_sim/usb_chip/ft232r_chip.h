// The FT232R as its USB end sees it: the vendor requests of the FTDI protocol, the receive FIFO
// with its latency timer, and the synchronous bit-bang port wired to a simulated drive.
// No USB plumbing here; emulated_ft232r.h puts the chip on a mocked usbdevfs bus.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "simulated_drive.h"

namespace drive_sim {

// How the chip starts; the host's requests change the last three as they would change a chip.
struct ChipOptions {
    // Empty: the chip has no serial number string (iSerialNumber 0).
    std::string serial = "KMR00001";
    // The serial number string is there, but every request for it stalls.
    bool serialReadStalls = false;
    // The product id the chip reports; 0x0000 for a clone whose EEPROM lost it.
    uint16_t productId = 0x6001;
    // Off: the chip answers every IN request at once, as if its latency timer had just run out.
    bool latencyTimerOn = true;
    // Baud-rate divisors (the 16-bit value of the request) the chip stalls, to refuse a rate.
    std::set<uint16_t> refusedBaudDivisors;
    // Another program holds the interface: claiming it answers EBUSY.
    bool claimedElsewhere = false;
    // The bit mode another tool left (e.g. 0x01, asynchronous bit-bang). The chip keeps it across
    // a reset of the serial engine and takes another bit mode only after a bit-mode reset.
    uint8_t bitMode = 0;
    // Bulk endpoints (0x02, 0x81) that stall every transfer until the host clears their halt.
    std::set<uint8_t> haltedEndpoints;
    // The kernel's serial driver holds the interface until the host detaches it.
    bool kernelDriverBound = false;
    // The byte clock: microseconds between two bytes clocked onto the pins. Zero clocks every
    // byte the moment it arrives; otherwise a word's bytes come back one by one, so the latency
    // timer may run out in the middle of a word and send part of it.
    double microsecondsPerByte = 0;
    // How long after the clock's falling edge the drive puts its reply bit on D1. The chip reads
    // that bit with the next byte, one byte time after the edge, so the reply decodes only while
    // this is below microsecondsPerByte.
    double answerDelayMicroseconds = 0;
};

// One vendor request as the chip received it.
struct VendorRequest {
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    bool operator==(const VendorRequest& other) const {
        return request == other.request && value == other.value && index == other.index;
    }
};

// FTDI vendor request codes.
enum : uint8_t {
    kFtdiReset = 0x00,
    kFtdiSetBaudRate = 0x03,
    kFtdiPollModemStatus = 0x05,
    kFtdiSetLatencyTimer = 0x09,
    kFtdiGetLatencyTimer = 0x0A,
    kFtdiSetBitMode = 0x0B,
    kFtdiReadPins = 0x0C,
};

class Ft232rChip {
public:
    Ft232rChip(SimulatedDrive& drive, ChipOptions options);

    // A control transfer: the 8 setup bytes, then `data` of `length` bytes. Returns how many
    // data bytes went back to the host (IN requests), or -1 when the chip stalls the request.
    int control(const uint8_t* setup, uint8_t* data, int length);
    // Bytes from the host on the bulk OUT endpoint.
    void bulkOut(const uint8_t* data, int length);
    // Fills an IN transfer of `capacity` bytes with 64-byte packets (two modem-status bytes,
    // then up to 62 data bytes) when the chip sends now: a full buffer's worth of data waits,
    // or the latency timer ran out. Returns the length, or -1 when the host must wait.
    int bulkIn(uint8_t* buffer, int capacity);

    // The chip on the bus again after losing its USB power: it starts as a fresh chip (no bit
    // mode, default latency timer, nothing waiting, the kernel's serial driver bound). The drive
    // has its own supply and keeps its state.
    void plugIn();

    const std::vector<VendorRequest>& vendorRequests() const { return requests_; }
    ChipOptions& options() { return options_; }

private:
    int standardRequest(const uint8_t* setup, uint8_t* data, int length);
    int vendorRequest(const VendorRequest& request, uint8_t* data, int length);
    int stringDescriptor(int index, uint8_t* data, int length) const;

    ChipOptions options_;
    BitBangPort port_;
    uint8_t latencyMs_ = 16;
    using Clock = std::chrono::steady_clock;
    struct ReadByte {
        uint8_t byte;
        Clock::time_point clocked;  // when the byte clock reaches it
    };
    std::deque<ReadByte> fifo_;   // bytes for the host, clocked or still to be
    Clock::time_point nextByte_;  // the earliest time the byte clock takes another byte
    Clock::time_point lastPacket_;
    std::vector<VendorRequest> requests_;
};

}  // namespace drive_sim
