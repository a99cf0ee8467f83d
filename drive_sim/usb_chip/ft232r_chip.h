// The FT232R as its USB end sees it: the vendor requests of the FTDI protocol, its two buffers
// (128 bytes from the host, 256 for the host) with the latency timer, and the synchronous
// bit-bang port wired to a simulated drive. The chip runs on a time the caller gives, so tests
// can drive it on a clock of their own. No USB plumbing here; emulated_ft232r.h puts the chip on
// a mocked usbdevfs bus.
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
    // The byte clock: microseconds between two bytes clocked onto the pins, when byteClock is
    // Fixed. Zero clocks every byte the moment it arrives and the host-to-chip buffer has it;
    // otherwise a word's bytes come back one by one, so the latency timer may run out in the
    // middle of a word and send part of it.
    double microsecondsPerByte = 0;
    // Where the byte clock comes from: the setting above, or the baud rate of the divisor the
    // host set, read as 16 bytes per baud or as one byte per four baud (which one a real chip
    // does in synchronous bit-bang is what a first test on hardware should measure).
    enum class ByteClock { Fixed, SixteenPerBaud, QuarterBaud };
    ByteClock byteClock = ByteClock::Fixed;
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

// A bulk transfer while the chip works on it: an OUT transfer is done once all its bytes are in
// the host-to-chip buffer, an IN transfer once it is full or the chip sent a short packet.
// `data` is the host's buffer; it must stay valid until the transfer is done or dropped.
struct BulkTransfer {
    uint8_t* data = nullptr;
    int length = 0;
    bool in = false;
    int actual = 0;
    bool done = false;
};

class Ft232rChip {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kHostToChipBytes = 128;
    static constexpr int kChipToHostBytes = 256;

    Ft232rChip(SimulatedDrive& drive, ChipOptions options);

    // Everything the chip did up to `now`: OUT packets taken while the host-to-chip buffer has
    // room for them, one byte clocked per byte time while the chip-to-host buffer has room for
    // its read-back (else the clock stops), and 64-byte IN packets (two modem-status bytes,
    // then up to 62 data bytes) into the oldest waiting IN transfer when 62 bytes wait or the
    // latency timer, restarted at every packet, ran out. Times before the last one count as it.
    void advance(Clock::time_point now);
    // A control transfer: the 8 setup bytes, then `data` of `length` bytes. Returns how many
    // data bytes went back to the host (IN requests), or -1 when the chip stalls the request.
    int control(const uint8_t* setup, uint8_t* data, int length, Clock::time_point now);
    // The host's bulk transfer, worked on in order behind those of its direction.
    void submit(BulkTransfer& transfer, Clock::time_point now);
    // The host gives up on a transfer (its time-out ran out): it ends with the bytes taken or
    // sent so far.
    void cancel(BulkTransfer& transfer, Clock::time_point now);
    // The transfers are gone with the USB connection; the chip forgets them, unfinished.
    void dropTransfers();

    // The chip on the bus again after losing its USB power: it starts as a fresh chip (no bit
    // mode, default latency timer, nothing waiting, the kernel's serial driver bound). The drive
    // has its own supply and keeps its state.
    void plugIn();

    const std::vector<VendorRequest>& vendorRequests() const { return requests_; }
    ChipOptions& options() { return options_; }
    // The time a byte takes on the pins, by the options and the divisor set.
    double byteMicroseconds() const;
    // Bytes put on the pins since the chip appeared.
    long bytesClocked() const { return bytesClocked_; }

private:
    int standardRequest(const uint8_t* setup, uint8_t* data, int length);
    int vendorRequest(const VendorRequest& request, uint8_t* data, int length);
    int stringDescriptor(int index, uint8_t* data, int length) const;

    // The steps of advance at one instant; each returns whether it changed anything.
    bool takeOutPackets();
    bool sendInPackets(Clock::time_point at);
    bool latencyTimerRanOut(Clock::time_point at) const;
    void clockByte(Clock::time_point at);

    ChipOptions options_;
    BitBangPort port_;
    uint8_t latencyMs_ = 16;
    uint16_t baudValue_ = 0x4138;  // 9600 baud, as the chip starts
    uint16_t baudIndex_ = 0;
    std::deque<uint8_t> hostToChip_;
    std::deque<uint8_t> chipToHost_;
    std::deque<BulkTransfer*> outTransfers_;
    std::deque<BulkTransfer*> inTransfers_;
    Clock::time_point now_;         // how far the chip has run
    Clock::time_point nextByte_;    // the earliest time the byte clock takes another byte
    Clock::time_point lastPacket_;  // the latency timer's start
    long bytesClocked_ = 0;
    std::vector<VendorRequest> requests_;
};

}  // namespace drive_sim
