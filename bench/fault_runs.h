// Runs of the real programs, as processes, under two faults a production line meets: the adapter
// pulled out at one chosen USB transfer (on the emulated FT232R), and the power cut by a kill -9
// at a seeded random moment (on --simulate). Shared by the soak benchmark (every position, or
// hundreds of cuts) and by the fault tests (a short seeded sample), so both judge runs alike.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

#include "soak_tally.h"

namespace soak {

struct Programs {
    QString morvane;
    QString tressel;
};

// How a program run as a process ended.
struct ProgramRun {
    bool hung = false;     // still running when the watchdog ran out, then killed
    bool killed = false;   // cut off by the kill asked for
    bool crashed = false;  // ended by a signal of its own
    int exitCode = -1;
    double seconds = 0;
    QString out;
    bool exited(int code) const { return !hung && !killed && !crashed && exitCode == code; }
};

// Runs the program with no standard input; kills it (SIGKILL) after `cutAfterMs` when that is
// not negative, and in any case once it runs past `watchdogMs`.
ProgramRun runProgram(const QString& program, const QStringList& arguments, int watchdogMs,
                      int cutAfterMs = -1);

// What went wrong in a run, with what it takes to replay it (the position or the seed).
using Problems = std::vector<std::string>;

enum class UsbWorkflow { Connect, Apply, Flash, Backup };
const char* workflowName(UsbWorkflow workflow);

// Whether this process can put the emulated chip on a mocked bus (it runs under umockdev).
bool unplugRunsAvailable();

// The workflow unplugged at `positions` transfers: every one from 1 to the clean run's count
// when `positions` is 0 or at least that count, else that many drawn with `seed`. Each run must
// end within its watchdog with no adapter, no drive or a lost link (never a success); after the
// replug the adapter must be listed again, and the next run (the next position's, in a seeded
// order, then a clean one) must get as far as its own unplug or succeed. `cleanTransfers` gets
// the clean run's count.
Tally unplugRuns(UsbWorkflow workflow, const Programs& programs, int positions, uint64_t seed,
                 Problems& problems, long* cleanTransfers = nullptr);
// The same at the positions of `order`, in that order (to replay what a soak found; a negative
// one counts back from the clean run's count); when it is empty, at those unplugRuns would choose.
Tally unplugRunsAt(UsbWorkflow workflow, const Programs& programs, std::vector<long> order,
                   int positions, uint64_t seed, Problems& problems,
                   long* cleanTransfers = nullptr);

enum class CutCase { BackupOverFile, Restore, FlashWithState, ParallelLog };
const char* cutCaseName(CutCase cutCase);

// `cuts` runs of the case, each killed after a seeded random delay within a clean run's length.
// Afterwards the settings file is the old one or the new one byte for byte, the simulated
// drive's state file is readable and the next run with it succeeds, and every log line is whole
// JSON.
Tally powerCuts(CutCase cutCase, const Programs& programs, int cuts, uint64_t seed,
                Problems& problems);

}  // namespace soak
