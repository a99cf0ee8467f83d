// Each workflow, run by the real program, with the adapter pulled out at a seeded sample of its
// USB transfers: a reported failure of the right class every time, within the watchdog, and the
// adapter found again and working after the replug. `soak_bench full` unplugs at every transfer.
#include <gtest/gtest.h>

#include "fault_runs.h"

using soak::UsbWorkflow;

namespace {
const soak::Programs kPrograms{KMR_MORVANE, KMR_TRESSEL};

std::string joined(const soak::Problems& problems) {
    std::string text;
    for (const std::string& problem : problems) {
        text += problem + "\n";
    }
    return text;
}
}  // namespace

class Unplugged : public testing::TestWithParam<UsbWorkflow> {};

TEST_P(Unplugged, EndsAsALostLinkOrNoDriveAndTheAdapterComesBack) {
#ifdef KMR_SLOWED_BY_SANITIZERS
    const int positions = 4;
#else
    const int positions = 12;
#endif
    soak::Problems problems;
    long transfers = 0;
    const soak::Tally tally =
        soak::unplugRuns(GetParam(), kPrograms, positions, 20261207, problems, &transfers);
    const std::string told = joined(problems);
    EXPECT_GT(transfers, 2 * positions);
    EXPECT_EQ(tally.runs, positions);
    EXPECT_EQ(tally.reportedFailures, positions) << told;
    EXPECT_EQ(tally.defects(), 0) << told;
}

// Some twenty transfers before its end the flash is verifying: pulled out then, no verdict is
// heard, and the run ends as a lost link, not as a drive whose check failed.
TEST(UnpluggedFlash, DuringTheVerificationIsALostLink) {
    soak::Problems problems;
    const soak::Tally tally =
        soak::unplugRunsAt(UsbWorkflow::Flash, kPrograms, {-20}, 0, 0, problems);
    EXPECT_EQ(tally.reportedFailures, 1) << joined(problems);
    EXPECT_EQ(tally.defects(), 0) << joined(problems);
}

std::string caseName(const testing::TestParamInfo<UsbWorkflow>& info) {
    const char* names[] = {"Connect", "Apply", "Flash", "Backup"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Workflows, Unplugged,
                         testing::Values(UsbWorkflow::Connect, UsbWorkflow::Apply,
                                         UsbWorkflow::Flash, UsbWorkflow::Backup),
                         caseName);
