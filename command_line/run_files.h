// The files a run names on its line, judged together before any of them is opened: an output
// that is no file to replace, or that names a file the same run reads or writes otherwise
// (`report --html=log.jsonl log.jsonl` would replace the log it reads), is refused.
#pragma once

#include <QString>
#include <vector>

namespace command_line {

struct NamedFile {
    QString role;  // how the line names it: "--html", "LOG", "--trace", ...
    QString path;
    enum Use { Read, Written, Stream } use;  // Stream: written, and a device or FIFO is taken
};

struct FilesRefusal {
    int exitCode = 0;  // 0: the files are fine
    QString why;
};

// A written file that ReplacingWrite would refuse (a symbolic link, a device, a FIFO, a folder):
// exit 3. Two names of the same regular file, or of the same missing one, one of them written:
// exit 2. "-" (standard input or output) and empty names are no files.
FilesRefusal judgeNamedFiles(const std::vector<NamedFile>& files);

}  // namespace command_line
