#include "regular_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace files {

namespace {
FileOpening kindOf(const struct stat& status) {
    if (S_ISREG(status.st_mode)) {
        return FileOpening::Opened;
    }
    return S_ISDIR(status.st_mode) ? FileOpening::CannotOpen : FileOpening::NotRegularFile;
}

void setBlocking(int descriptor) {
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
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
}  // namespace

RegularFile openRegularFile(const char* path) {
    RegularFile file;
    struct stat status {};
    if (stat(path, &status) != 0) {
        return file;
    }
    file.outcome = kindOf(status);
    if (file.outcome != FileOpening::Opened) {
        return file;
    }
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        file.outcome = FileOpening::CannotOpen;
        return file;
    }
    file.outcome = fstat(descriptor, &status) == 0 ? kindOf(status) : FileOpening::CannotOpen;
    if (file.outcome != FileOpening::Opened) {
        close(descriptor);
        return file;
    }
    // Reads of a regular file never block anyway; the flag only kept the open from waiting.
    setBlocking(descriptor);
    file.descriptor = descriptor;
    return file;
}

RegularFile openStream(const char* path, int writerWaitMs) {
    RegularFile file;
    struct stat status {};
    if (stat(path, &status) != 0 || S_ISDIR(status.st_mode)) {
        return file;
    }
    if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode)) {
        file.outcome = FileOpening::NotRegularFile;
        return file;
    }
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return file;
    }
    // Judged again once open: the name may have been swapped for another kind of file.
    if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
        file.outcome = FileOpening::CannotOpen;
    } else if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode)) {
        file.outcome = FileOpening::NotRegularFile;
    } else if (S_ISFIFO(status.st_mode) && !fedInTime(descriptor, writerWaitMs)) {
        file.outcome = FileOpening::NoWriter;
    } else {
        file.outcome = FileOpening::Opened;
    }
    if (file.outcome != FileOpening::Opened) {
        close(descriptor);
        return file;
    }
    setBlocking(descriptor);
    file.descriptor = descriptor;
    return file;
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
