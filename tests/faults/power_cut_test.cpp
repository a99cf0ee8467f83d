// Ten kill -9 at seeded moments of each case: the settings file old or new byte for byte, the
// simulated drive's state file readable and the next run with it successful, every log line
// whole. `soak_bench full` cuts each case 200 times.
#include <gtest/gtest.h>

#include "fault_runs.h"

using soak::CutCase;

class PowerCut : public testing::TestWithParam<CutCase> {};

TEST_P(PowerCut, LeavesWholeFilesAndTheNextRunSucceeds) {
    constexpr int kCuts = 10;
    soak::Problems problems;
    const soak::Tally tally =
        soak::powerCuts(GetParam(), {KMR_MORVANE, KMR_TRESSEL}, kCuts, 20261207, problems);
    std::string told;
    for (const std::string& problem : problems) {
        told += problem + "\n";
    }
    EXPECT_EQ(tally.runs, GetParam() == CutCase::ParallelLog ? 4 * kCuts : kCuts);
    EXPECT_GT(tally.cut, 0);  // the moments fall within the runs, not all after them
    EXPECT_EQ(tally.defects(), 0) << told;
}

std::string caseName(const testing::TestParamInfo<CutCase>& info) {
    const char* names[] = {"BackupOverAFile", "Restore", "FlashWithAStateFile",
                           "FourRunsAppendALog"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Cases, PowerCut,
                         testing::Values(CutCase::BackupOverFile, CutCase::Restore,
                                         CutCase::FlashWithState, CutCase::ParallelLog),
                         caseName);
