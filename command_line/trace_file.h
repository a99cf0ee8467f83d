// Where --trace sends the link's transaction trace: standard output, or a file that replaces its
// target only when the whole trace is written.
#pragma once

#include <QString>
#include <memory>

#include "drive_link.h"
#include "replacing_write.h"

namespace command_line {

// The file --trace names, open for the link's trace.
struct TraceFile {
    bool toStandardOutput = false;                // "-"
    std::unique_ptr<files::ReplacingWrite> file;  // null for standard output or no trace
};

// Opens what --trace=`path` asks for: standard output for "-", nothing for an empty path, a
// character device or a FIFO as it is, else a new file beside `path` that takes its place only
// when the whole trace is written, so a trace cut short by a full disk leaves the old file as it
// was; a symbolic link, a folder or a socket is refused. False, with the reason, when it cannot
// be opened.
bool openTrace(const QString& path, TraceFile& file, QString& why);

// While it lives, the link's trace goes to `file` (opened by openTrace), or nowhere when it
// has neither.
class TraceRouted {
public:
    TraceRouted(drive_link::Link& link, TraceFile file);
    ~TraceRouted();
    TraceRouted(const TraceRouted&) = delete;
    TraceRouted& operator=(const TraceRouted&) = delete;

    // Whether some of the trace could not be written.
    bool lost() const { return writeError_ != 0 || (file_.file && file_.file->lost()); }
    // Ends the trace and puts the file in place; false, with the reason, when some of it was
    // lost (then the old file stays).
    bool complete(QString& why);

private:
    drive_link::Link& link_;
    TraceFile file_;
    int writeError_ = 0;  // errno of the first write to standard output that failed
};

}  // namespace command_line
