// What the end-to-end tests of the configuration window share: the wire sequences the window
// must send, the trace they must print, and a window connected to the simulated drive.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "message_box_watcher.h"
#include "morvane.h"
#include "sim_fixture.h"

struct Frame {
    int command;
    int value;
    bool operator==(const Frame& other) const {
        return command == other.command && value == other.value;
    }
};
void PrintTo(const Frame& frame, std::ostream* os);
using Frames = std::vector<Frame>;

// The frames the drive received from index `start` on.
Frames framesSince(const std::vector<drive_sim::FrameRecord>& log, size_t start = 0);
inline Frames framesSince(const drive_sim::SimulatedAdapter& adapter, size_t start = 0) {
    return framesSince(adapter.frameLog(), start);
}

// Transactions the host traced: every line that starts like "002,00000". A drive that fell
// silent logs no frames, so this is how a test counts what was still sent.
int tracedTransactions(const std::string& out);

Frames operator+(Frames a, const Frames& b);
Frames noOps(int count);
Frames readOf(uint16_t number);
Frames writeOf(uint16_t number, uint16_t value);
Frames drain();  // the two flushing no-ops of the link report
// The 19 setting parameters, in wire order.
std::vector<uint16_t> settingNumbers();
Frames connectFrames();  // probe, identification, drain, import

// The Apply of the end-to-end tests: a few fields edited after Connect, the parameter writes
// that must follow, and the whole frame sequence of Apply around them.
using ParamWrites = std::vector<std::pair<uint16_t, uint16_t>>;
void editFormForApply(Morvane& window);
ParamWrites editedFormWrites();
Frames applyFrames(const ParamWrites& writes);

// Rebuilds the trace of a stretch of the frame log, with the parameter lines where they belong;
// every frame it takes must be the frame the script names.
class TraceScript {
public:
    TraceScript(const std::vector<drive_sim::FrameRecord>& log, size_t start)
        : log_(log), next_(start) {}
    TraceScript& frames(int count);
    TraceScript& read(uint16_t number);
    TraceScript& write(uint16_t number, uint16_t value);
    const std::string& text() const { return text_; }
    bool matchedScript() const { return matched_; }

private:
    void frameLine();
    const std::vector<drive_sim::FrameRecord>& log_;
    size_t next_;
    std::string text_;
    bool matched_ = true;
};

// The messages of the connect workflow, of a lost link and of a refused form, as the watcher
// describes them.
extern const QString kConnectingBox;
extern const QString kLinkLostBox;
extern const QString kSettingsErrorBox;

// Clicks Connect; the watcher answers the boxes. True when the window ended up connected.
bool clickConnect(Morvane& window);

// Saves or opens a settings file through the window's menu action, the file prompt answering
// with `path` (an empty path cancels).
void saveSettingsAs(Morvane& window, const QString& path);
void openSettings(Morvane& window, const QString& path);

// Every setting field's value, for comparing whole forms.
QStringList formValues(Morvane& window);

// A scratch directory, removed at the end of the test.
class ScratchDir {
public:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString root() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
