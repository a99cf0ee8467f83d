// A save that the file system cuts short leaves the old file as it was, and no temporary file.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "atomic_file.h"

using namespace files;

TEST(AtomicFile, AFailedWriteLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.frx");
    ASSERT_TRUE(writeFileAtomically(path, "old"));
    {
        // The file system takes 200 bytes of the new text and refuses the rest.
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = 200;
        setrlimit(RLIMIT_FSIZE, &limited);
        EXPECT_FALSE(writeFileAtomically(path, QByteArray(900, 'x')));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.frx"});
}
