// Writing a file the user names in place of what is there, whole or not at all, without
// changing what the name is: the new text goes to a file beside the target and takes its name
// only once all of it is on disk. Plain POSIX, so that the simulated drive writes its state
// file with it too.
//
// What a name may be:
// - missing, or a regular file: replaced (a regular file keeps its permissions);
// - a symbolic link: refused. Renaming over the link would turn it into a file, and writing
//   through it lets whoever made the link choose what is overwritten (a link left in a shared
//   folder); name the file it leads to instead. Only a stream is taken through a link
//   (/dev/stderr to a terminal or a pipe), since it is written, never replaced;
// - a device or a FIFO: refused, or, for a stream such as the trace (`Streams::WrittenDirectly`),
//   written as it is, never replaced; a FIFO that nobody reads is refused at once;
// - a folder or a socket: refused.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace files {

enum class Streams {
    Refused,          // a device or a FIFO is refused like a folder
    WrittenDirectly,  // a character device or a FIFO is opened and written as it is
};

class ReplacingWrite {
public:
    ReplacingWrite() = default;
    ~ReplacingWrite();  // abandons what is not finished: the target stays as it was
    ReplacingWrite(const ReplacingWrite&) = delete;
    ReplacingWrite& operator=(const ReplacingWrite&) = delete;

    // Judges `path` and opens what will be written; false, with why ("it is a symbolic link
    // ...", or the system's reason), when the target is refused or nothing can be made beside it.
    bool open(const std::string& path, Streams streams, std::string& why);
    // Writes all of `text`; after the first failure nothing more is tried. False, with errno,
    // once some text is lost.
    bool write(std::string_view text);
    // Puts the whole text in place of the target (a stream: closes it); false, with why, when
    // some of it was lost, and then the target stays as it was.
    bool finish(std::string& why);
    // Whether some text could not be written.
    bool lost() const { return writeError_ != 0; }
    // The descriptor written, -1 when none is open.
    int descriptor() const { return fd_; }

private:
    void abandon();

    std::string path_;
    std::string temporary_;  // empty when the target is written directly
    int fd_ = -1;
    int writeError_ = 0;
};

// Why ReplacingWrite would refuse `path` as it is now ("it is a symbolic link ..."), or null
// when it would take it: a program judges its outputs with it before any work.
const char* replacementRefusal(const std::string& path, Streams streams);

// `text` in place of the file `path`, with ReplacingWrite's rules, devices and FIFOs refused;
// false, with why, when the old file stays.
bool replaceFile(const std::string& path, std::string_view text, std::string& why);

}  // namespace files
