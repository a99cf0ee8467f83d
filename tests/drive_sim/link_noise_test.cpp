// A noisy line in both directions: every corrupted frame or reply must be caught by the drive's
// or the host's CRC check, except errors of four bits or more that happen to form a valid CRC.
#include <gtest/gtest.h>

#include <bitset>
#include <cstdio>
#include <vector>

#include "drive_framing.h"
#include "drive_link.h"
#include "sim_fixture.h"
#include "wire.h"

namespace {
constexpr int kTransactions = 100000;
constexpr double kBitErrorRate = 1e-3;

// Reads, writes of a scratch parameter and no-ops, as the workflows mix them.
uint32_t trafficAt(int i) {
    const uint8_t commands[] = {52, 50, 51, 2, 2};
    const uint16_t values[] = {uint16_t(i % 2 ? 6020 : 410), uint16_t(i * 7), 6092, 0, 0};
    return frameOnWire(commands[i % 5], values[i % 5]);
}

// Corruptions in one direction: how many, how many bits, and how many the CRC let through.
struct Tally {
    long corrupted = 0, bits = 0, slipped = 0, fewBitSlips = 0;
    void count(uint32_t sent, uint32_t arrived, bool accepted) {
        int flipped = int(std::bitset<32>(sent ^ arrived).count());
        bits += flipped;
        corrupted += flipped > 0;
        slipped += flipped > 0 && accepted;
        fewBitSlips += flipped > 0 && flipped <= 3 && accepted;  // CRC-8/0x07 must catch these
    }
};
}  // namespace

TEST(LinkNoise, CrcChecksCatchEveryCorruptionOfUpToThreeBits) {
    drive_sim::LinkFaults faults;
    faults.bitErrorRate = kBitErrorRate;
    faults.seed = 20240611;
    FerroxBench bench = installFerroxDrive(faults);
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearFrameLog();
    quietTrace = true;
    std::vector<bool> flagged(kTransactions);
    for (int i = 0; i < kTransactions; ++i) {
        bool error = false;
        uint32_t frame = trafficAt(i);
        transact(uint8_t(frame >> 24), uint16_t(frame >> 8), error);
        flagged[i] = error;
    }
    quietTrace = false;

    const std::vector<drive_sim::FrameRecord>& log = bench.adapter.frameLog();
    ASSERT_EQ(log.size(), size_t(kTransactions));  // bit errors never cost the framing
    Tally frames, replies;
    long missedRejections = 0, unexplainedFlags = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        const drive_sim::FrameRecord& record = log[i];
        frames.count(trafficAt(int(i)), record.rawFrame, record.crcOk);
        EXPECT_EQ(record.crcOk, hostAccepts(record.rawFrame)) << "frame " << i;
        // A rejected frame is answered two frames later with the rejection reply.
        missedRejections += !record.crcOk && i + 2 < log.size() &&
                            log[i + 2].reply != drive_sim::rejectedFrameReply();
        bool hostSawValid = hostAccepts(record.lineReply);
        replies.count(record.reply, record.lineReply, hostSawValid);
        // The host's verdict is its CRC check of what the line carried, and it only complains
        // about a corrupted reply or the answer slot of a frame the drive rejected.
        EXPECT_EQ(flagged[i], !hostSawValid) << "transaction " << i;
        bool rejectedEarlier = i >= 2 && !log[i - 2].crcOk;
        unexplainedFlags += flagged[i] && record.lineReply == record.reply && !rejectedEarlier;
    }
    std::printf(
        "noise %.0e over %d transactions:\n"
        "  frames corrupted %ld (%ld bits), slipped past the drive %ld\n"
        "  replies corrupted %ld (%ld bits), slipped past the host %ld\n",
        kBitErrorRate, kTransactions, frames.corrupted, frames.bits, frames.slipped,
        replies.corrupted, replies.bits, replies.slipped);

    // The line really was noisy at the rate asked: 3.2 million bits each way, about 3200 flips
    // with a spread of about 57.
    for (const Tally& tally : {frames, replies}) {
        EXPECT_GT(tally.bits, 2900);
        EXPECT_LT(tally.bits, 3500);
        EXPECT_EQ(tally.fewBitSlips, 0);
        // A CRC-8 lets through about one in 256 errors of more bits, and most corruptions here
        // are single bits, so far fewer than 1 % of the corrupted frames may slip.
        EXPECT_LT(tally.slipped * 100, tally.corrupted);
    }
    EXPECT_EQ(missedRejections, 0);
    EXPECT_EQ(unexplainedFlags, 0);
}
