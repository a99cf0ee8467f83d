// Opening a file the user chose, for reading, without trusting what it is: a FIFO would block
// the window for good, a device never ends, and a directory is no file at all.
#pragma once

namespace files {

enum class FileOpening {
    Opened,
    CannotOpen,      // missing, not permitted, or a directory
    NotRegularFile,  // a FIFO, a device or a socket: never opened
};

struct RegularFile {
    FileOpening outcome = FileOpening::CannotOpen;
    int descriptor = -1;  // the caller's to close when opened
};

// Looks at the name before opening it, so that a device is never opened at all, and at the
// opened file again, so that a name swapped in between cannot slip through. The open itself
// does not block, whatever the name has become by then.
RegularFile openRegularFile(const char* path);

}  // namespace files
