// Opening a file the user chose, for reading, without trusting what it is: a FIFO would block
// the window for good, a device never ends, and a directory is no file at all.
#pragma once

namespace files {

enum class FileOpening {
    Opened,
    CannotOpen,      // missing, not permitted, or a directory
    NotRegularFile,  // a FIFO, a device or a socket: never opened
    NoWriter,        // a FIFO that no writer fed in time
};

struct RegularFile {
    FileOpening outcome = FileOpening::CannotOpen;
    int descriptor = -1;  // the caller's to close when opened
};

// Looks at the name before opening it, so that a device is never opened at all, and at the
// opened file again, so that a name swapped in between cannot slip through. The open itself
// does not block, whatever the name has become by then.
RegularFile openRegularFile(const char* path);

// A file read to its end as a stream: a regular file, or a FIFO or pipe a writer feeds; a
// device, a socket or a directory is refused (a device may never end). A named FIFO is opened
// without waiting for a writer, then given `writerWaitMs` for its first bytes or its writer's
// close; one left without a writer as long is refused. The descriptor then blocks on reads.
RegularFile openStream(const char* path, int writerWaitMs);
// The same judgement of a descriptor the process was given (standard input), whose writer, if
// any, is there already: a terminal or another device is refused, a socket taken as a pipe.
// Never closes it.
FileOpening judgeGivenStream(int descriptor);

}  // namespace files
