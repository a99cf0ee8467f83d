// Saving settings files through the window's menu action, and both file prompts.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <csignal>

#include "morvane_test_support.h"
#include "scripted_file_prompt.h"

namespace {
const char* const kFreshFormFile =
    "<!DOCTYPE KMR_ML>\n"
    "<SetupFRX>\n"
    " <FileSpecs Version=\"100\"/>\n"
    " <Param80 Type=\"uint16\" Value=\"0\"/>\n"
    " <Param410 Type=\"uint16\" Value=\"2000\"/>\n"
    " <Param411 Type=\"uint16\" Value=\"4000\"/>\n"
    " <Param20 Type=\"uint16\" Value=\"500\"/>\n"
    " <Param401 Type=\"uint16\" Value=\"750\"/>\n"
    " <Param402 Type=\"uint16\" Value=\"100\"/>\n"
    " <Param61 Type=\"uint16\" Value=\"1\"/>\n"
    " <Param202 Type=\"uint16\" Value=\"500\"/>\n"
    " <Param200 Type=\"uint16\" Value=\"500\"/>\n"
    " <Param201 Type=\"uint16\" Value=\"100\"/>\n"
    " <Param8510 Type=\"uint16\" Value=\"2000\"/>\n"
    " <Param8511 Type=\"uint16\" Value=\"4000\"/>\n"
    " <Param8120 Type=\"uint16\" Value=\"500\"/>\n"
    " <Param8501 Type=\"uint16\" Value=\"750\"/>\n"
    " <Param8502 Type=\"uint16\" Value=\"100\"/>\n"
    " <Param8161 Type=\"uint16\" Value=\"1\"/>\n"
    " <Param8302 Type=\"uint16\" Value=\"500\"/>\n"
    " <Param8300 Type=\"uint16\" Value=\"500\"/>\n"
    " <Param8301 Type=\"uint16\" Value=\"100\"/>\n"
    "</SetupFRX>\n";

const QString kUnableToWrite = "warning|Error|Unable to open file for writing";

// Files may grow only to `bytes` while this lives: a write past it fails as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};
}  // namespace

TEST(SaveSettings, FreshFormGivesTheTwentyThreeLinesAndTheSameBytesEveryTime) {
    ScratchDir scratch;
    Morvane window;
    MessageBoxWatcher watcher;
    for (int i = 0; i < 25; ++i) {
        const QString path = scratch.path(QString("copy%1.frx").arg(i));
        saveSettingsAs(window, path);
        ASSERT_EQ(readFile(path).toStdString(), kFreshFormFile) << i;
        EXPECT_EQ(window.ui.statusbar->currentMessage(), "Configuration saved");
    }
    EXPECT_TRUE(watcher.boxes().empty());
}

TEST(SaveSettings, SuffixIsAddedUnlessTheNameEndsInItInAnyCase) {
    const struct {
        const char* typed;
        const char* written;
    } names[] = {{"mysettings", "mysettings.frx"},
                 {"SHOUTED.FRX", "SHOUTED.FRX"},
                 {"a.Frx", "a.Frx"},
                 {"notes.txt", "notes.txt.frx"},
                 {"frx", "frx.frx"}};
    for (const auto& name : names) {
        ScratchDir scratch;
        Morvane window;
        MessageBoxWatcher watcher;
        saveSettingsAs(window, scratch.path(name.typed));
        EXPECT_EQ(QDir(scratch.root()).entryList(QDir::Files), QStringList{name.written});
        EXPECT_TRUE(watcher.boxes().empty());
    }
}

TEST(SettingsPrompts, CancelledPromptsWriteAndChangeNothing) {
    ScratchDir scratch;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(scratch.root()));
    MessageBoxWatcher watcher;
    for (bool saving : {true, false}) {
        SCOPED_TRACE(saving ? "save" : "open");
        Morvane window;
        const QStringList before = formValues(window);
        ScriptedFilePrompt prompt;
        window.askFileName = prompt.prompt();
        (saving ? window.ui.Save_configuration : window.ui.Open_configuration)->trigger();
        ASSERT_EQ(prompt.asked().size(), 1u);
        const FileQuestion& asked = prompt.asked().front();
        EXPECT_EQ(asked.caption, saving ? "Save File" : "Open File");
        EXPECT_EQ(asked.startName, "Ferroxsettings.frx");
        EXPECT_EQ(asked.filter, "Ferrox files (*.frx)");
        EXPECT_EQ(asked.forSaving, saving);
        if (saving) {
            EXPECT_EQ(asked.defaultSuffix, "frx");
        }
        EXPECT_EQ(window.ui.statusbar->currentMessage(), saving ? "Save cancelled" : "");
        EXPECT_EQ(formValues(window), before);
    }
    EXPECT_TRUE(QDir(scratch.root()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(watcher.boxes().empty());
    QDir::setCurrent(previous);
}

TEST(SaveSettings, UnwritablePlacesAreReported) {
    ScratchDir scratch;
    Morvane window;
    MessageBoxWatcher watcher;
    // A folder that does not exist, and one where nobody, not even root, may create files.
    saveSettingsAs(window, scratch.path("missing/inner.frx"));
    saveSettingsAs(window, "/proc/kmr-settings.frx");
    EXPECT_EQ(describeBoxes(watcher), (QStringList{kUnableToWrite, kUnableToWrite}));
    EXPECT_FALSE(QFile::exists(scratch.path("missing/inner.frx")));
    EXPECT_FALSE(QFile::exists("/proc/kmr-settings.frx"));
    EXPECT_NE(window.ui.statusbar->currentMessage(), "Configuration saved");
}

TEST(SaveSettings, SaveThatFailsHalfWayLeavesTheOldFileIntact) {
    ScratchDir scratch;
    const QString path = scratch.path("kept.frx");
    const QByteArray old =
        "<!DOCTYPE KMR_ML>\n<SetupFRX>\n <FileSpecs Version=\"100\"/>\n</SetupFRX>\n";
    writeFile(path, old);

    Morvane window;
    MessageBoxWatcher watcher;
    {
        FileSizeLimit limit(200);  // the new text is about 900 bytes
        saveSettingsAs(window, path);
    }
    const QStringList boxes = describeBoxes(watcher);
    ASSERT_FALSE(boxes.isEmpty());
    EXPECT_EQ(boxes.last(), kUnableToWrite);
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(QDir(scratch.root()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.frx"});
    EXPECT_NE(window.ui.statusbar->currentMessage(), "Configuration saved");

    // Without the limit the same save replaces the file.
    watcher.clear();
    saveSettingsAs(window, path);
    EXPECT_EQ(readFile(path).toStdString(), kFreshFormFile);
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Configuration saved");
}

// The prompt asked about "my.settings"; the file written is "my.settings.frx", and replacing it
// must be confirmed on its own.
TEST(SaveSettings, ExistingFileUnderTheSuffixedNameIsReplacedOnlyWhenConfirmed) {
    ScratchDir scratch;
    const QString path = scratch.path("my.settings.frx");
    const QByteArray old = "kept";
    const QString question =
        "question|Save File|my.settings.frx already exists.<br>Do you want to replace it?";
    for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
        writeFile(path, old);
        Morvane window;
        MessageBoxWatcher watcher;
        watcher.onBoxOpen([button](int, QMessageBox* box) { box->button(button)->click(); });
        saveSettingsAs(window, scratch.path("my.settings"));
        EXPECT_EQ(describeBoxes(watcher), QStringList{question});
        const bool replaced = button == QMessageBox::Yes;
        EXPECT_EQ(readFile(path).toStdString(), replaced ? kFreshFormFile : "kept");
        EXPECT_EQ(window.ui.statusbar->currentMessage(),
                  replaced ? "Configuration saved" : "Save cancelled");
        EXPECT_EQ(QDir(scratch.root()).entryList(QDir::Files), QStringList{"my.settings.frx"});
    }
}
