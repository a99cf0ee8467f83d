// Power cuts: the real programs on --simulate, each run killed (SIGKILL, nothing of the program
// runs after it) at a seeded moment within a clean run's length, then what it left on disk read.
#include "fault_runs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <random>
#include <utility>

#include "drive_state.h"
#include "vlf_writer.h"

namespace soak {

namespace {
// The simulated drive's answer time per frame (ms): long enough for a run to last well beyond the
// program's start, so that the cuts spread over its work, short enough for hundreds of runs. A
// flash takes many more frames than the rest.
QString latency(CutCase cutCase) {
    return cutCase == CutCase::FlashWithState ? "latency=0.1"
           : cutCase == CutCase::Restore      ? "latency=0.5"
                                              : "latency=1";
}
constexpr int kWatchdogMs = 60000;
constexpr int kParallelRuns = 4;

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeContent(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A temporary file a killed save left beside the one it was replacing: not a torn file, only
// litter, cleared so that the folder holds what the next cut starts from.
void clearLeftovers(QDir dir, const QStringList& keep) {
    for (const QString& name : dir.entryList(QDir::Files)) {
        if (!keep.contains(name)) {
            dir.remove(name);
        }
    }
}

// A state file may be missing (no change saved yet) but never unreadable.
bool stateReadable(const QString& path) {
    if (!QFile::exists(path)) {
        return true;
    }
    drive_sim::DriveState state;
    std::string error;
    return drive_sim::loadDriveState(path.toStdString(), state, error);
}

// Whole lines only: each a JSON object, the last one ended by its line break.
struct LogLines {
    int whole = 0;
    int torn = 0;
};

LogLines logLines(const QString& path) {
    const QByteArray content = contentOf(path);
    LogLines lines;
    lines.torn = !content.isEmpty() && !content.endsWith('\n');
    for (const QByteArray& line : content.split('\n')) {
        const bool whole = QJsonDocument::fromJson(line).isObject();
        lines.whole += whole;
        lines.torn += !line.isEmpty() && !whole;
    }
    return lines;
}

std::string describe(const char* what, int cut, uint64_t seed, int delayMs) {
    return std::string(what) + " (cut " + std::to_string(cut) + ", seed " + std::to_string(seed) +
           ", after " + std::to_string(delayMs) + " ms)";
}

// One case: its files in a folder of its own, the command it runs and the checks after a cut.
class CutBench {
public:
    CutBench(CutCase cutCase, const Programs& programs) : case_(cutCase), programs_(programs) {}

    bool prepare(Problems& problems);
    // One run, killed after `delayMs` (or never, when negative); counted into `tally`.
    void cutAndCheck(int delayMs, Tally& tally, Problems& problems, const std::string& replay);
    double cleanSeconds() const { return cleanSeconds_; }

private:
    QString path(const char* name) const { return dir_.filePath(name); }
    QStringList command() const;
    const QString& program() const {
        return case_ == CutCase::FlashWithState ? programs_.tressel : programs_.morvane;
    }
    double appendTogether(std::vector<int> killAt, Tally& tally, Problems& problems,
                          const std::string& replay);

    CutCase case_;
    Programs programs_;
    QTemporaryDir dir_;
    QByteArray oldSettings_;
    QByteArray newSettings_;
    double cleanSeconds_ = 0;
    int loggedTorn_ = 0;  // torn lines already counted (the log grows over the cuts)
};

QStringList CutBench::command() const {
    const QString simulate = "--simulate=" + latency(case_);
    const QString state = simulate + ",state=" + path("drive.state");
    switch (case_) {
        case CutCase::BackupOverFile:
            return {"backup", path("drive.frx"), simulate};
        case CutCase::Restore:
            return {"restore", path("drive.frx"), state};
        case CutCase::FlashWithState:
            return {"flash", path("image.vlf"), state};
        case CutCase::ParallelLog:
            break;
    }
    return {"diagnose", simulate, "--log=" + path("runs.jsonl")};
}

// The clean run gives the files the cuts start from and its length.
bool CutBench::prepare(Problems& problems) {
    if (case_ == CutCase::FlashWithState) {
        vlf::ImageLayout image;
        image.words = vlf::patternPackets(3, 11);
        std::string error;
        if (!vlf::writeImage(path("image.vlf").toStdString(), image, error)) {
            problems.push_back("cannot write the image: " + error);
            return false;
        }
    }
    if (case_ == CutCase::Restore) {
        // A settings file that changes the drive: the factory's with another P gain on axis 1.
        const ProgramRun backup =
            runProgram(programs_.morvane, {"backup", path("drive.frx"), "--simulate"}, kWatchdogMs);
        QString settings = QString::fromUtf8(contentOf(path("drive.frx")));
        settings.replace(QRegularExpression("(?<=<Param200 Type=\"uint16\" Value=\")\\d+"), "700");
        if (!backup.exited(0) || !writeContent(path("drive.frx"), settings.toUtf8())) {
            problems.push_back("cannot make the settings file to restore");
            return false;
        }
    }
    if (case_ == CutCase::ParallelLog) {
        Tally together;
        cleanSeconds_ =
            appendTogether(std::vector<int>(kParallelRuns, -1), together, problems, "clean runs");
        QFile::remove(path("runs.jsonl"));
        return together.successes == kParallelRuns;
    }
    const ProgramRun clean = runProgram(program(), command(), kWatchdogMs);
    if (!clean.exited(0)) {
        problems.push_back(std::string(cutCaseName(case_)) +
                           ": the clean run failed: " + clean.out.toStdString());
        return false;
    }
    cleanSeconds_ = clean.seconds;
    newSettings_ = contentOf(path("drive.frx"));
    oldSettings_ = "<!-- an older backup -->\n" + newSettings_;
    return true;
}

void CutBench::cutAndCheck(int delayMs, Tally& tally, Problems& problems,
                           const std::string& replay) {
    if (case_ == CutCase::ParallelLog) {
        // The other three moments follow from the first, so that the cut replays from its seed.
        // They reach a fifth past the clean runs' length: the line is appended at a run's very
        // end, and some runs must get there for the cuts to meet their appends.
        std::mt19937_64 random{uint64_t(delayMs)};
        std::uniform_int_distribution<int> moment(0, int(cleanSeconds_ * 1200));
        appendTogether({delayMs, moment(random), moment(random), moment(random)}, tally, problems,
                       replay);
        return;
    }
    if (case_ == CutCase::BackupOverFile && !writeContent(path("drive.frx"), oldSettings_)) {
        problems.push_back("cannot put the old settings file back");
        return;
    }
    const QByteArray settingsBefore = contentOf(path("drive.frx"));
    const ProgramRun run = runProgram(program(), command(), kWatchdogMs, delayMs);
    ++tally.runs;
    tally.cut += run.killed;
    tally.hangs += run.hung;
    tally.successes += run.exited(0);
    tally.reportedFailures += !run.killed && !run.hung && !run.crashed && run.exitCode > 0;
    tally.unreported += run.crashed;
    if (run.hung || run.crashed) {
        problems.push_back((run.hung ? "hang " : "crash ") + replay);
    }
    clearLeftovers(QDir(dir_.path()), {"drive.frx", "drive.state", "image.vlf"});

    const QByteArray settings = contentOf(path("drive.frx"));
    // A backup that says it saved must have saved; a restore only reads its file.
    const bool settingsWhole =
        case_ == CutCase::BackupOverFile
            ? settings == newSettings_ || (settings == oldSettings_ && !run.exited(0))
            : settings == settingsBefore;
    const bool stateWhole = stateReadable(path("drive.state"));
    if (!settingsWhole || !stateWhole) {
        ++tally.torn;
        problems.push_back(std::string(settingsWhole ? "state file" : "settings file") + " torn " +
                           replay);
    }
    if (case_ == CutCase::Restore || case_ == CutCase::FlashWithState) {
        const ProgramRun next = runProgram(program(), command(), kWatchdogMs);
        if (!next.exited(0)) {
            ++tally.unrecovered;
            problems.push_back("the next run failed after a cut " + replay + ": " +
                               next.out.toStdString());
        }
        clearLeftovers(QDir(dir_.path()), {"drive.frx", "drive.state", "image.vlf"});
    }
}

// Four runs share the log; each is killed at its own moment in `killAt` (ms from their start;
// negative: never). Returns the seconds until the last one ended.
double CutBench::appendTogether(std::vector<int> killAt, Tally& tally, Problems& problems,
                                const std::string& replay) {
    std::sort(killAt.begin(), killAt.end(), [](int a, int b) { return unsigned(a) < unsigned(b); });
    std::vector<std::unique_ptr<QProcess>> runs;
    QElapsedTimer clock;
    clock.start();
    for (size_t i = 0; i < killAt.size(); ++i) {
        runs.emplace_back(new QProcess);
        runs.back()->setStandardInputFile(QProcess::nullDevice());
        runs.back()->setProcessChannelMode(QProcess::MergedChannels);
        runs.back()->start(programs_.morvane, command());
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        QProcess& process = *runs[i];
        const qint64 left = killAt[i] < 0 ? kWatchdogMs : killAt[i] - clock.elapsed();
        if (left > 0) {
            process.waitForFinished(int(left));
        }
        const bool running = process.state() != QProcess::NotRunning;
        const bool killed = running && killAt[i] >= 0;
        if (running) {
            process.kill();
            process.waitForFinished(-1);
        }
        const bool exited = !running && process.exitStatus() == QProcess::NormalExit;
        ++tally.runs;
        tally.cut += killed;
        tally.hangs += running && !killed;
        tally.successes += exited && process.exitCode() == 0;
        tally.reportedFailures += exited && process.exitCode() > 0;
        tally.unreported += !running && !exited;
        if (!killed && !exited) {
            problems.push_back((running ? "hang " : "crash ") + replay + ": " +
                               process.readAll().toStdString());
        }
    }
    // Every run that ended well has its line; a cut one may have one or none.
    const LogLines lines = logLines(path("runs.jsonl"));
    if (lines.torn > 0) {
        tally.torn += lines.torn - std::exchange(loggedTorn_, lines.torn);
        problems.push_back("half-written log lines " + replay);
    }
    if (lines.whole < tally.successes) {
        tally.falseSuccesses = std::max(tally.falseSuccesses, tally.successes - lines.whole);
        problems.push_back("a run ended well without its log line " + replay);
    }
    return clock.elapsed() / 1000.0;
}
}  // namespace

ProgramRun runProgram(const QString& program, const QStringList& arguments, int watchdogMs,
                      int cutAfterMs) {
    ProgramRun run;
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForStarted(watchdogMs)) {
        run.out = "cannot start " + program;
        return run;
    }
    if (cutAfterMs >= 0 && !process.waitForFinished(cutAfterMs) &&
        process.state() != QProcess::NotRunning) {
        process.kill();
        run.killed = true;
    } else if (!process.waitForFinished(watchdogMs) && process.state() != QProcess::NotRunning) {
        process.kill();
        run.hung = true;
    }
    process.waitForFinished(-1);
    run.seconds = clock.elapsed() / 1000.0;
    run.crashed = !run.killed && !run.hung && process.exitStatus() == QProcess::CrashExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAll());
    return run;
}

const char* cutCaseName(CutCase cutCase) {
    switch (cutCase) {
        case CutCase::BackupOverFile:
            return "backup over a file";
        case CutCase::Restore:
            return "restore";
        case CutCase::FlashWithState:
            return "flash with a state file";
        case CutCase::ParallelLog:
            break;
    }
    return "4 runs append a log";
}

Tally powerCuts(CutCase cutCase, const Programs& programs, int cuts, uint64_t seed,
                Problems& problems) {
    Tally tally;
    CutBench bench(cutCase, programs);
    if (!bench.prepare(problems)) {
        ++tally.unreported;
        return tally;
    }
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<int> moment(0, std::max(1, int(bench.cleanSeconds() * 1000)));
    for (int i = 0; i < cuts; ++i) {
        const int delayMs = moment(random);
        bench.cutAndCheck(delayMs, tally, problems,
                          describe(cutCaseName(cutCase), i, seed, delayMs));
    }
    return tally;
}

}  // namespace soak
