// The emulated FT232R on a clock of the test's own, so its buffers, clock stop, packets and
// latency timer are checked to the microsecond, whatever the load on the machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ferrox_firmware.h"
#include "ft232r_chip.h"

using drive_sim::BulkTransfer;
using drive_sim::ChipOptions;
using drive_sim::Ft232rChip;
using Clock = Ft232rChip::Clock;
using std::chrono::microseconds;

namespace {
void vendorOut(Ft232rChip& chip, uint8_t request, uint16_t value, uint16_t index,
               Clock::time_point at) {
    const uint8_t setup[8] = {
        0x40, request, uint8_t(value), uint8_t(value >> 8), uint8_t(index), uint8_t(index >> 8),
        0,    0};
    ASSERT_EQ(chip.control(setup, nullptr, 0, at), 0);
}

// The data bytes of an IN transfer, without each packet's two modem-status bytes.
std::vector<uint8_t> dataOf(const std::vector<uint8_t>& buffer, int length) {
    std::vector<uint8_t> data;
    for (int packet = 0; packet < length; packet += 64) {
        data.insert(data.end(), buffer.begin() + packet + 2,
                    buffer.begin() + std::min(packet + 64, length));
    }
    return data;
}
}  // namespace

// 1000 bytes at 10 us a byte with a 2 ms latency timer, the IN transfer submitted 10 ms late.
TEST(Ft232rChip, BuffersFillTheClockStopsAndPacketsGoAtSixtyTwoBytesOrTheTimer) {
    drive_sim::SimulatedDrive drive(std::make_unique<drive_sim::FerroxFirmware>(), {});
    ChipOptions options;
    options.microsecondsPerByte = 10;
    Ft232rChip chip(drive, options);
    const Clock::time_point t0 = Clock::now() + std::chrono::seconds(1);
    vendorOut(chip, drive_sim::kFtdiSetBitMode, 0x0409, 1, t0);
    vendorOut(chip, drive_sim::kFtdiSetLatencyTimer, 2, 1, t0);

    // D0 alone toggles, so the drive sees no clock edge; each byte read shows the one before.
    std::vector<uint8_t> out(1000);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = uint8_t((i * 7 / 3) & 1);
    }
    BulkTransfer write{out.data(), int(out.size()), false};
    std::vector<uint8_t> inBuffer(4096);
    BulkTransfer read{inBuffer.data(), int(inBuffer.size()), true};

    chip.submit(write, t0);
    EXPECT_EQ(write.actual, 128) << "two OUT packets fill the host-to-chip buffer";
    // No read pending: 256 bytes clocked fill the chip-to-host buffer, then the clock stops
    // and the OUT transfer waits with 384 bytes taken.
    chip.advance(t0 + microseconds(10000));
    EXPECT_EQ(chip.bytesClocked(), 256);
    EXPECT_EQ(write.actual, 384);
    EXPECT_FALSE(write.done);

    // The read takes four full packets at once; the clock runs again from that moment, a
    // packet leaving whenever 62 bytes wait. The 12th after that leaves at 17.35 ms, and the
    // last 8 bytes wait for the timer, restarted by every packet: until 19.35 ms.
    chip.submit(read, t0 + microseconds(10000));
    EXPECT_EQ(read.actual, 4 * 64);
    chip.advance(t0 + microseconds(19340));
    EXPECT_TRUE(write.done);
    EXPECT_EQ(chip.bytesClocked(), 1000);
    EXPECT_FALSE(read.done);
    EXPECT_EQ(read.actual, 16 * 64);
    chip.advance(t0 + microseconds(19360));
    EXPECT_TRUE(read.done);
    ASSERT_EQ(read.actual, 16 * 64 + 2 + 8);

    const std::vector<uint8_t> data = dataOf(inBuffer, read.actual);
    ASSERT_EQ(data.size(), out.size());
    int mismatches = 0;
    for (size_t i = 1; i < data.size(); ++i) {
        mismatches += (data[i] & 1) != out[i - 1];
    }
    EXPECT_EQ(mismatches, 0);
}

// The byte clock from the divisor of the 3 MHz baud clock: 14 bits of whole steps, a fraction
// code in the top two bits and in bit 0 of the index, under both readings.
TEST(Ft232rChip, ByteClockFollowsTheBaudDivisorUnderEitherReading) {
    const struct {
        uint16_t value, index;
        double baud;
    } cases[] = {
        {0x012C, 0, 10000},         {0x09C4, 0, 1200},          {0x412C, 0, 3e6 / 300.5},
        {0xC12C, 0, 3e6 / 300.125}, {0x012C, 1, 3e6 / 300.375}, {0x0000, 0, 3e6},
        {0x0001, 0, 2e6},
    };
    drive_sim::SimulatedDrive drive(std::make_unique<drive_sim::FerroxFirmware>(), {});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        for (auto reading :
             {ChipOptions::ByteClock::SixteenPerBaud, ChipOptions::ByteClock::QuarterBaud}) {
            ChipOptions options;
            options.byteClock = reading;
            Ft232rChip chip(drive, options);
            vendorOut(chip, drive_sim::kFtdiSetBaudRate, c.value, c.index, Clock::now());
            const double expected = reading == ChipOptions::ByteClock::SixteenPerBaud
                                        ? 1e6 / (16 * c.baud)
                                        : 4e6 / c.baud;
            EXPECT_NEAR(chip.byteMicroseconds(), expected, expected * 1e-9);
        }
    }
}
