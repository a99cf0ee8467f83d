// The real `tressel report` over a big log, once as a file and once through a pipe: whether it
// counts every record, how long it takes, how much memory it needs at most (the child's peak
// resident set) and how much room its sorted runs take at most in its temporary directory. A report
// for the reader; nothing is asserted.
//   report_stream_bench [MIB]   the log's size in MiB; 256 when none is given (CI), 3072 by hand
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {
constexpr int kAdapters = 8;
constexpr long long kStartMs = 1796601600000;  // 2026-12-07T00:00:00Z

// A seeded line's log as the flash subcommand writes it, one run every 2 s on one of eight
// adapters; a failed unit is tried once more. Lines come in blocks until `bytes` are written.
class SeededLog {
public:
    explicit SeededLog(long long bytes) : left_(bytes) {}
    // The next block of whole lines; empty at the end.
    const std::vector<char>& next() {
        block_.clear();
        while (left_ > 0 && block_.size() < (1 << 20)) {
            line();
        }
        return block_;
    }
    long long records() const { return records_; }

private:
    void line() {
        const bool failed = fails_(random_);
        const long long ms = kStartMs + records_ * 2000;
        const time_t seconds = time_t(ms / 1000);
        tm utc{};
        gmtime_r(&seconds, &utc);
        char text[512];
        const int size = std::snprintf(
            text, sizeof text,
            "{\"result\":\"%s\",\"exit_code\":%d,\"message\":\"%s\",\"file\":\"fw.vlf\","
            "\"sha256\":\"%064d\",\"unit\":\"U-%lld\",\"time\":\"%04d-%02d-%02dT%02d:%02d:%02d."
            "%03dZ\",\"program\":\"tressel\",\"subcommand\":\"flash\",\"adapter\":\"FT%06d\","
            "\"duration_s\":%.3f,\"attempt\":%d}\n",
            failed ? "failed" : "done", failed ? 6 : 0,
            failed ? "Verification failed" : "flashed and verified: fw.vlf (120 packets)",
            int(unit_ % 3), unit_, utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
            utc.tm_min, utc.tm_sec, int(ms % 1000), adapter_(random_) + 1, seconds_(random_),
            attempt_);
        block_.insert(block_.end(), text, text + size);
        left_ -= size;
        ++records_;
        if (failed && attempt_ == 1) {
            attempt_ = 2;
        } else {
            attempt_ = 1;
            ++unit_;
        }
    }

    long long left_;
    long long records_ = 0;
    long long unit_ = 0;
    int attempt_ = 1;
    std::vector<char> block_;
    std::mt19937_64 random_{7};
    std::uniform_int_distribution<int> adapter_{0, kAdapters - 1};
    std::bernoulli_distribution fails_{0.02};
    std::lognormal_distribution<double> seconds_{3.7, 0.05};
};

struct Run {
    double seconds = 0;
    long maxRssKiB = 0;
    unsigned long long maxTemporaryBytes = 0;
    QJsonObject result;
};

// The bytes of the files under `directory` that process `pid` holds open now. The report's
// temporary files have no name (the toolkit opens them unnamed where the kernel can), so they are
// found through the process's descriptors rather than in the directory.
unsigned long long temporaryBytes(pid_t pid, const std::string& directory) {
    std::error_code error;
    unsigned long long bytes = 0;
    const std::filesystem::path descriptors = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(descriptors, error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        struct stat file {};
        if (!error && target.rfind(directory, 0) == 0 && stat(entry.path().c_str(), &file) == 0) {
            bytes += (unsigned long long)(file.st_size);
        }
    }
    return bytes;
}

// Starts `tressel report --json LOG` with standard input from `input` (or /dev/null) and its
// temporary files in `spillDir`, feeds it with `feed` (for a pipe), and waits for it, watching
// the size of the temporary files it holds open every 20 ms meanwhile.
Run runReport(const char* log, int input, const std::function<void()>& feed, const QString& outPath,
              const QString& spillDir) {
    setenv("TMPDIR", QFile::encodeName(spillDir).constData(), 1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0) {
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    }
    const QByteArray out = QFile::encodeName(outPath);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char* argv[] = {const_cast<char*>(KMR_TRESSEL), const_cast<char*>("report"),
                    const_cast<char*>("--json"), const_cast<char*>(log), nullptr};
    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    Run run;
    if (posix_spawn(&child, KMR_TRESSEL, &actions, nullptr, argv, environ) != 0) {
        std::printf("cannot start %s\n", KMR_TRESSEL);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    const QByteArray spillPath = QFile::encodeName(spillDir);
    std::atomic<bool> ended{false};
    std::thread watcher([&] {
        while (!ended) {
            run.maxTemporaryBytes =
                std::max(run.maxTemporaryBytes, temporaryBytes(child, spillPath.toStdString()));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    feed();
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    ended = true;
    watcher.join();
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.maxRssKiB = usage.ru_maxrss;
    QFile result(outPath);
    result.open(QIODevice::ReadOnly);
    run.result = QJsonDocument::fromJson(result.readAll()).object();
    return run;
}

void printRow(const char* form, long long bytes, long long records, const Run& run) {
    const long long runs = run.result.value("runs").toVariant().toLongLong();
    std::printf("%-6s %10.1f %11lld %11lld %10lld %9s %9.1f %11.1f %11.1f\n", form,
                double(bytes) / 1e6, records, runs,
                run.result.value("units").toVariant().toLongLong(), runs == records ? "yes" : "NO",
                run.seconds, double(run.maxRssKiB) / 1024,
                double(run.maxTemporaryBytes) / (1 << 20));
}
}  // namespace

int main(int argc, char** argv) {
    const long long mib = argc > 1 ? std::atoll(argv[1]) : 256;
    const long long bytes = mib << 20;
    QTemporaryDir dir;
    const QString outPath = dir.filePath("report.json");
    std::printf(
        "tressel report --json over a seeded flash log of %lld MiB (one run every 2 s, "
        "8 adapters, 2 %% failures retried once)\n",
        mib);
    std::printf("%-6s %10s %11s %11s %10s %9s %9s %11s %11s\n", "input", "MB", "records", "counted",
                "units", "all", "seconds", "peak MiB", "temp MiB");
    const QString spillDir = dir.filePath("spill");
    QDir().mkpath(spillDir);

    const QString logPath = dir.filePath("line.jsonl");
    SeededLog fileLog(bytes);
    {
        QFile file(logPath);
        file.open(QIODevice::WriteOnly);
        for (const std::vector<char>* block = &fileLog.next(); !block->empty();
             block = &fileLog.next()) {
            file.write(block->data(), qint64(block->size()));
        }
    }
    const QByteArray logName = QFile::encodeName(logPath);
    printRow("file", bytes, fileLog.records(),
             runReport(
                 logName.constData(), -1, [] {}, outPath, spillDir));
    QFile::remove(logPath);

    // Neither end may stay open in the child: the report would wait for itself to write.
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);  // a report that stops early must not end the benchmark
    SeededLog piped(bytes);
    const Run run = runReport(
        "-", pipeEnds[0],
        [&] {
            close(pipeEnds[0]);
            for (const std::vector<char>* block = &piped.next(); !block->empty();
                 block = &piped.next()) {
                for (size_t done = 0; done < block->size();) {
                    const ssize_t written =
                        write(pipeEnds[1], block->data() + done, block->size() - done);
                    if (written <= 0) {
                        break;
                    }
                    done += size_t(written);
                }
            }
            close(pipeEnds[1]);
        },
        outPath, spillDir);
    printRow("pipe", bytes, piped.records(), run);
    return 0;
}
