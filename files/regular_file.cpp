#include "regular_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace files {

namespace {
// What may be read: a regular file, and with `streams` a FIFO; a directory cannot be opened.
FileOpening kindOf(const struct stat& status, bool streams) {
    if (S_ISREG(status.st_mode) || (streams && S_ISFIFO(status.st_mode))) {
        return FileOpening::Opened;
    }
    return S_ISDIR(status.st_mode) ? FileOpening::CannotOpen : FileOpening::NotRegularFile;
}

// Waits for a FIFO's first bytes or its writer's close. A reader that opened the FIFO before any
// writer sees neither until one comes (Linux reports no hang-up for a writer it never had).
bool fedInTime(int descriptor, int waitMs) {
    pollfd watched{descriptor, POLLIN, 0};
    int ready;
    do {
        ready = poll(&watched, 1, waitMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// Looks at the name before opening it, so that a device is never opened at all, and at the
// opened file again, so that a name swapped in between cannot slip through.
RegularFile openJudged(const char* path, bool streams, int writerWaitMs) {
    RegularFile file;
    struct stat status {};
    if (stat(path, &status) != 0) {
        return file;
    }
    file.outcome = kindOf(status, streams);
    if (file.outcome != FileOpening::Opened) {
        return file;
    }
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        file.outcome = FileOpening::CannotOpen;
        return file;
    }
    file.outcome =
        fstat(descriptor, &status) == 0 ? kindOf(status, streams) : FileOpening::CannotOpen;
    if (file.outcome == FileOpening::Opened && S_ISFIFO(status.st_mode) &&
        !fedInTime(descriptor, writerWaitMs)) {
        file.outcome = FileOpening::NoWriter;
    }
    if (file.outcome != FileOpening::Opened) {
        close(descriptor);
        return file;
    }
    // Reads of a regular file never block anyway, and a FIFO's writer is there: the flag only
    // kept the open from waiting.
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    file.descriptor = descriptor;
    return file;
}
}  // namespace

RegularFile openRegularFile(const char* path) {
    return openJudged(path, false, 0);
}

RegularFile openStream(const char* path, int writerWaitMs) {
    return openJudged(path, true, writerWaitMs);
}

FileOpening judgeGivenStream(int descriptor) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
        return FileOpening::CannotOpen;
    }
    // A socket ends when its peer closes, as a pipe does; a terminal or a device may never end.
    return S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? FileOpening::NotRegularFile
                                                              : FileOpening::Opened;
}

}  // namespace files
