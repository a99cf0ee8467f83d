#include "progress.h"

#include <unistd.h>
#include <QElapsedTimer>
#include <QJsonObject>
#include <cerrno>
#include <cstdio>

#include "json_line.h"

namespace command_line {

namespace {
// Often enough to look alive, rarely enough that a long flash does not flood a script's pipe.
constexpr qint64 kShownEveryMs = 100;

struct ProgressState {
    ProgressDisplay display = ProgressDisplay::None;
    int jsonFd = -1;
    QString phase;
    int phaseStartDone = 0;
    QElapsedTimer phaseClock;
    QElapsedTimer shownClock;
    bool lineShown = false;
    int writeError = 0;
};

ProgressState& state() {
    static ProgressState progress;
    return progress;
}

// "write 12/120  31.5/s  4 s left", or "connect  2 s" where nothing is counted.
QString progressText(const ProgressState& progress, int done, int total) {
    const double seconds = progress.phaseClock.elapsed() / 1000.0;
    if (total <= 0) {
        return QString("%1  %2 s").arg(progress.phase).arg(seconds, 0, 'f', 0);
    }
    QString text = QString("%1 %2/%3").arg(progress.phase).arg(done).arg(total);
    const double rate = seconds > 0 ? (done - progress.phaseStartDone) / seconds : 0;
    if (rate > 0) {
        text +=
            QString("  %1/s  %2 s left").arg(rate, 0, 'f', 1).arg((total - done) / rate, 0, 'f', 0);
    }
    return text;
}
}  // namespace

void showProgressAs(ProgressDisplay display, int jsonFd) {
    clearProgressLine();
    state() = {};
    state().display = display;
    state().jsonFd = jsonFd;
}

void reportProgress(const QString& phase, int done, int total) {
    ProgressState& progress = state();
    if (progress.display == ProgressDisplay::None) {
        return;
    }
    const bool newPhase = phase != progress.phase;
    if (newPhase) {
        progress.phase = phase;
        progress.phaseStartDone = done;
        progress.phaseClock.start();
    }
    const bool last = total > 0 && done >= total;
    if (!newPhase && !last && progress.shownClock.isValid() &&
        progress.shownClock.elapsed() < kShownEveryMs) {
        return;
    }
    progress.shownClock.start();
    if (progress.display == ProgressDisplay::JsonEvents) {
        QJsonObject event{{"event", "progress"}, {"phase", phase}};
        if (total > 0) {
            event["done"] = done;
            event["total"] = total;
        }
        if (progress.writeError == 0 && !writeJsonLine(progress.jsonFd, event)) {
            progress.writeError = errno;
        }
        return;
    }
    // Back to the line's start and erase to its end, so a shorter text leaves nothing behind.
    std::fprintf(stderr, "\r%s\033[K", qPrintable(progressText(progress, done, total)));
    std::fflush(stderr);
    progress.lineShown = true;
}

int progressWriteError() {
    return state().writeError;
}

void clearProgressLine() {
    if (state().lineShown) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        state().lineShown = false;
    }
}

}  // namespace command_line
