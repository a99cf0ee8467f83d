// Saving settings files through the window's menu action.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <csignal>

#include "morvane_test_support.h"
#include "scripted_file_prompt.h"
#include "settings_document.h"

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

TEST(SaveSettings, FreshFormGivesTheTwentyThreeLinesExactly) {
    ScratchDir scratch;
    Morvane window;
    MessageBoxWatcher watcher;
    saveSettingsAs(window, scratch.path("fresh.frx"));
    EXPECT_TRUE(watcher.boxes().empty());
    const QByteArray text = readFile(scratch.path("fresh.frx"));
    EXPECT_EQ(text.toStdString(), kFreshFormFile);
    EXPECT_EQ(text.count('\n'), 23);
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Configuration saved");
}

TEST(SaveSettings, SameFormAlwaysGivesTheSameBytes) {
    ScratchDir scratch;
    Morvane window;
    window.ui.gainPM2->setValue(1234);
    window.ui.encoderfailM2->setChecked(true);
    MessageBoxWatcher watcher;
    QByteArray first;
    for (int i = 0; i < 25; ++i) {
        const QString path = scratch.path(QString("copy%1.frx").arg(i));
        saveSettingsAs(window, path);
        const QByteArray text = readFile(path);
        if (i == 0) {
            first = text;
            EXPECT_TRUE(first.contains(" <Param8300 Type=\"uint16\" Value=\"1234\"/>\n"));
            EXPECT_TRUE(first.contains(" <Param80 Type=\"uint16\" Value=\"32768\"/>\n"));
        }
        ASSERT_EQ(text, first) << i;
    }
    // The text is also what the document holds, as any XML reader sees it.
    QDomDocument parsed;
    ASSERT_TRUE(bool(parsed.setContent(first)));
    EXPECT_EQ(parsed.doctype().name(), "KMR_ML");
    EXPECT_EQ(parsed.documentElement().tagName(), "SetupFRX");
    EXPECT_EQ(parsed.documentElement().childNodes().count(), 20);
}

TEST(SaveSettings, SuffixIsAddedUnlessTheNameEndsInItInAnyCase) {
    ScratchDir scratch;
    Morvane window;
    MessageBoxWatcher watcher;
    saveSettingsAs(window, scratch.path("mysettings"));
    EXPECT_TRUE(QFile::exists(scratch.path("mysettings.frx")));
    EXPECT_FALSE(QFile::exists(scratch.path("mysettings")));

    saveSettingsAs(window, scratch.path("SHOUTED.FRX"));
    EXPECT_TRUE(QFile::exists(scratch.path("SHOUTED.FRX")));
    EXPECT_FALSE(QFile::exists(scratch.path("SHOUTED.FRX.frx")));

    saveSettingsAs(window, scratch.path("notes.txt"));
    EXPECT_TRUE(QFile::exists(scratch.path("notes.txt.frx")));
    EXPECT_FALSE(QFile::exists(scratch.path("notes.txt")));
    EXPECT_TRUE(watcher.boxes().empty());

    EXPECT_EQ(withSettingsSuffix("a.Frx"), "a.Frx");
    EXPECT_EQ(withSettingsSuffix("frx"), "frx.frx");
    EXPECT_EQ(withSettingsSuffix("a.frx.bak"), "a.frx.bak.frx");
}

TEST(SaveSettings, CancelledDialogWritesNothing) {
    ScratchDir scratch;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(scratch.root()));
    Morvane window;
    MessageBoxWatcher watcher;
    ScriptedFilePrompt prompt;
    prompt.answer({""});
    window.askFileName = prompt.prompt();
    window.ui.Save_configuration->trigger();
    ASSERT_EQ(prompt.asked().size(), 1u);
    const FileQuestion& asked = prompt.asked().front();
    EXPECT_EQ(asked.caption, "Save File");
    EXPECT_EQ(asked.startName, "Ferroxsettings.frx");
    EXPECT_EQ(asked.filter, "Ferrox files (*.frx)");
    EXPECT_TRUE(asked.forSaving);
    EXPECT_EQ(asked.defaultSuffix, "frx");
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Save cancelled");
    EXPECT_TRUE(QDir(scratch.root()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(watcher.boxes().empty());
    QDir::setCurrent(previous);
}

TEST(SaveSettings, InvalidCurrentsWriteNothingAndShowNoStatus) {
    ScratchDir scratch;
    Morvane window;
    window.ui.contcurrM2->setValue(4200);
    MessageBoxWatcher watcher;
    saveSettingsAs(window, scratch.path("rejected.frx"));
    EXPECT_EQ(describeBoxes(watcher),
              QStringList{"warning|Settings error|<i>Continuous current</i> can't be greater than "
                          "<i>peak current</i>.<br>Correct your settings."});
    EXPECT_FALSE(QFile::exists(scratch.path("rejected.frx")));
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "");
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

TEST(SaveSettings, DocumentWriterKeepsItsOrderWhateverTheAttributeOrder) {
    QDomDocument document("KMR_ML");
    QDomElement root = document.createElement("SetupFRX");
    document.appendChild(root);
    QDomElement element = document.createElement("Param7");
    element.setAttribute("Zeta", "z");
    element.setAttribute("Value", "1");
    element.setAttribute("Alpha", "a&<\"");
    element.setAttribute("Type", "uint16");
    root.appendChild(element);
    EXPECT_EQ(settingsFileText(document).toStdString(),
              "<!DOCTYPE KMR_ML>\n<SetupFRX>\n <Param7 Type=\"uint16\" Value=\"1\" "
              "Alpha=\"a&amp;&lt;&quot;\" Zeta=\"z\"/>\n</SetupFRX>\n");
}
