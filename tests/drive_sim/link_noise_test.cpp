// A noisy line in both directions: every corrupted frame or reply must be caught by the drive's
// or the host's CRC check, except multi-bit errors that happen to form a valid CRC again.
#include <gtest/gtest.h>

#include <bitset>
#include <cstdio>
#include <vector>

#include "drive_framing.h"
#include "drive_link.h"
#include "sim_fixture.h"
#include "wire.h"

using drive_sim::FrameRecord;
using drive_sim::LinkFaults;

namespace {
constexpr int kTransactions = 100000;
constexpr double kBitErrorRate = 1e-3;

struct Sent {
    uint8_t command;
    uint16_t value;
};

// Reads, writes of a scratch parameter and no-ops, as the workflows mix them.
Sent trafficAt(int i) {
    switch (i % 5) {
        case 0:
            return {52, uint16_t(i % 2 ? 6020 : 410)};
        case 1:
            return {50, uint16_t(i * 7)};
        case 2:
            return {51, 6092};
        default:
            return {2, 0};
    }
}

struct Tally {
    long corruptedFrames = 0, frameSlips = 0, singleBitFrameSlips = 0;
    long corruptedReplies = 0, replySlips = 0, singleBitReplySlips = 0;
    long hostFlags = 0, unexplainedFlags = 0, missedRejections = 0;
    long flippedFrameBits = 0, flippedReplyBits = 0;
};

int bitsBetween(uint32_t a, uint32_t b) {
    return int(std::bitset<32>(a ^ b).count());
}
}  // namespace

TEST(LinkNoise, CrcChecksCatchEveryCorruptionButRareMultiBitOnes) {
    LinkFaults faults;
    faults.bitErrorRate = kBitErrorRate;
    faults.seed = 20240611;
    FerroxBench bench = installFerroxDrive(faults);
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearFrameLog();

    quietTrace = true;
    std::vector<Sent> sent;
    std::vector<bool> flagged;
    sent.reserve(kTransactions);
    flagged.reserve(kTransactions);
    for (int i = 0; i < kTransactions; ++i) {
        Sent frame = trafficAt(i);
        bool error = false;
        transact(frame.command, frame.value, error);
        sent.push_back(frame);
        flagged.push_back(error);
    }
    quietTrace = false;

    const std::vector<FrameRecord>& log = bench.adapter.frameLog();
    ASSERT_EQ(log.size(), size_t(kTransactions));  // bit errors never cost the framing
    Tally tally;
    for (size_t i = 0; i < log.size(); ++i) {
        const FrameRecord& record = log[i];
        int frameBits = bitsBetween(record.rawFrame, frameOnWire(sent[i].command, sent[i].value));
        tally.flippedFrameBits += frameBits;
        if (frameBits > 0) {
            ++tally.corruptedFrames;
            if (record.crcOk) {
                ++tally.frameSlips;  // the drive executed a command nobody sent
                tally.singleBitFrameSlips += frameBits == 1;
            } else if (i + 2 < log.size() && log[i + 2].reply != drive_sim::rejectedFrameReply()) {
                ++tally.missedRejections;
            }
        } else {
            EXPECT_TRUE(record.crcOk) << "frame " << i;
        }

        int replyBits = bitsBetween(record.lineReply, record.reply);
        tally.flippedReplyBits += replyBits;
        bool hostSawValid = hostAccepts(record.lineReply);
        if (replyBits > 0) {
            ++tally.corruptedReplies;
            if (hostSawValid) {
                ++tally.replySlips;
                tally.singleBitReplySlips += replyBits == 1;
            }
        }
        // The host's verdict is its CRC check of what the line carried, and it only complains
        // about a corrupted reply or the answer slot of a frame the drive rejected.
        EXPECT_EQ(flagged[i], !hostSawValid) << "transaction " << i;
        if (flagged[i]) {
            ++tally.hostFlags;
            bool rejectedEarlier = i >= 2 && !log[i - 2].crcOk;
            tally.unexplainedFlags += replyBits == 0 && !rejectedEarlier;
        }
    }

    std::printf(
        "noise %.0e over %d transactions:\n"
        "  frames corrupted %ld (%ld bits), caught by the drive %ld, slipped %ld (single-bit %ld)\n"
        "  replies corrupted %ld (%ld bits), caught by the host %ld, slipped %ld (single-bit %ld)\n"
        "  host flags %ld\n",
        kBitErrorRate, kTransactions, tally.corruptedFrames, tally.flippedFrameBits,
        tally.corruptedFrames - tally.frameSlips, tally.frameSlips, tally.singleBitFrameSlips,
        tally.corruptedReplies, tally.flippedReplyBits, tally.corruptedReplies - tally.replySlips,
        tally.replySlips, tally.singleBitReplySlips, tally.hostFlags);

    // The line really was noisy at the rate asked: 3.2 million bits each way, about 3200 flips
    // with a spread of about 57.
    EXPECT_GT(tally.flippedFrameBits, 2900);
    EXPECT_LT(tally.flippedFrameBits, 3500);
    EXPECT_GT(tally.flippedReplyBits, 2900);
    EXPECT_LT(tally.flippedReplyBits, 3500);

    EXPECT_EQ(tally.singleBitFrameSlips, 0);
    EXPECT_EQ(tally.singleBitReplySlips, 0);
    // A CRC-8 lets through about one in 256 errors of several bits, and most corruptions here
    // are single bits, so far fewer than 1 % of the corrupted frames may slip.
    EXPECT_LT(tally.frameSlips * 100, tally.corruptedFrames);
    EXPECT_LT(tally.replySlips * 100, tally.corruptedReplies);
    EXPECT_EQ(tally.missedRejections, 0);
    EXPECT_EQ(tally.unexplainedFlags, 0);
}
