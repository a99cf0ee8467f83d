// The state file: a header line with the format's name and version, the stored settings that
// differ from the factory's as "NUMBER VALUE" lines, the flash as hex words up to the last one
// that differs from an erased or a factory flash, and an end line that shows the file is whole.
#include "drive_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>

#include "ferrox_factory.h"
#include "regular_file.h"
#include "replacing_write.h"
#include "whole_number.h"

namespace drive_sim {

namespace {
const char kHeader[] = "kmr-simulated-drive-state 1";
const char kFormatName[] = "kmr-simulated-drive-state";
constexpr size_t kWordsPerLine = 16;
const char kHexDigits[] = "0123456789abcdef";  // the file's flash words, in lower case only

int hexDigitValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The number of leading words of `flash` that differ from the base somewhere at or after them.
// A whole flash is 256 Ki words, mostly the base's, and is written every 200 ms of a flashing:
// it is compared from the end in large blocks while they match, then in smaller ones inside the
// first that does not. A block starts at a multiple of its length, so it lies in one period.
size_t differingPrefix(const std::vector<uint16_t>& flash, FlashBase base) {
    size_t end = flash.size();
    for (const size_t block : {size_t(4096), size_t(64), size_t(1)}) {
        static_assert(kFactoryFlashPeriod % 4096 == 0);
        while (end > 0) {
            const size_t start = (end - 1) / block * block;
            const uint16_t* expected = flashPeriod(base).data() + start % kFactoryFlashPeriod;
            if (std::memcmp(flash.data() + start, expected, (end - start) * sizeof(uint16_t)) !=
                0) {
                break;
            }
            end = start;
        }
    }
    return end;
}

class StateReader {
public:
    explicit StateReader(std::istream& in) : in_(in) {}

    bool read(DriveState& state, std::string& why) {
        state.storedParamChanges.clear();
        state.flash.clear();
        std::string line;
        if (!next(line) || line.rfind(kFormatName, 0) != 0) {
            why = std::string("it does not start with '") + kHeader + "'";
            return false;
        }
        if (line != kHeader) {
            why = "its format '" + line + "' is not '" + kHeader + "'";
            return false;
        }
        while (next(line)) {
            if (line == "end") {
                return !next(line) || fail("text after the end line", why);
            }
            std::istringstream fields(line);
            std::string section;
            fields >> section;
            const bool read = section == "stored-parameters" ? readParams(fields, state)
                              : section == "flash"           ? readFlash(fields, state)
                                                             : false;
            if (!read) {
                return fail("not what a state file holds here", why);
            }
        }
        why = "the end line is missing (the file is cut short)";
        return false;
    }

private:
    bool next(std::string& line) {
        ++lineNumber_;
        return bool(std::getline(in_, line));
    }

    bool fail(const std::string& what, std::string& why) const {
        why = "line " + std::to_string(lineNumber_) + ": " + what;
        return false;
    }

    // A whole decimal number up to `most`, and nothing else in `fields` when `last`.
    static bool number(std::istringstream& fields, uint64_t most, uint64_t& value, bool last) {
        std::string text;
        std::string rest;
        fields >> text;
        return parseWholeNumber(text, most, value) && (!last || !(fields >> rest));
    }

    bool readParams(std::istringstream& fields, DriveState& state) {
        uint64_t count = 0;
        if (!number(fields, 0xFFFF, count, true)) {
            return false;
        }
        std::string line;
        for (uint64_t i = 0; i < count; ++i) {
            uint64_t param = 0;
            uint64_t value = 0;
            if (!next(line)) {
                return false;
            }
            std::istringstream pair(line);
            if (!number(pair, 0xFFFF, param, false) || !number(pair, 0xFFFF, value, true)) {
                return false;
            }
            state.storedParamChanges[uint16_t(param)] = uint16_t(value);
        }
        return true;
    }

    bool readFlash(std::istringstream& fields, DriveState& state) {
        const size_t words = BootloaderSettings{}.flashWords;
        uint64_t size = 0;
        uint64_t count = 0;
        std::string base;
        if (!number(fields, words, size, false) || size != words || !(fields >> base) ||
            (base != "erased" && base != "factory") || !number(fields, words, count, true)) {
            return false;
        }
        makeFlash(state.flash, base == "erased" ? FlashBase::Erased : FlashBase::Factory, words);
        std::string line;
        for (size_t at = 0; at < count; at += kWordsPerLine) {
            const size_t onLine = std::min(kWordsPerLine, size_t(count) - at);
            if (!next(line) || line.size() != onLine * 5 - 1) {
                return false;
            }
            for (size_t j = 0; j < onLine; ++j) {
                const char* hex = line.data() + j * 5;
                if (j + 1 < onLine && hex[4] != ' ') {
                    return false;
                }
                uint16_t word = 0;
                for (int k = 0; k < 4; ++k) {
                    const int digit = hexDigitValue(hex[k]);
                    if (digit < 0) {
                        return false;
                    }
                    word = uint16_t(word << 4 | digit);
                }
                state.flash[at + j] = word;
            }
        }
        return true;
    }

    std::istream& in_;
    int lineNumber_ = 0;
};

}  // namespace

std::string driveStateText(const DriveState& state) {
    std::ostringstream out;
    out << kHeader << '\n';
    out << "stored-parameters " << state.storedParamChanges.size() << '\n';
    for (const auto& [param, value] : state.storedParamChanges) {
        out << param << ' ' << value << '\n';
    }
    if (!state.flash.empty()) {
        const size_t afterErase = differingPrefix(state.flash, FlashBase::Erased);
        const size_t overFactory = differingPrefix(state.flash, FlashBase::Factory);
        const size_t count = std::min(afterErase, overFactory);
        out << "flash " << state.flash.size() << (count == afterErase ? " erased " : " factory ")
            << count;
        std::string words;
        words.reserve(count * 5 + 1);
        for (size_t i = 0; i < count; ++i) {
            words += i % kWordsPerLine ? ' ' : '\n';
            for (int shift = 12; shift >= 0; shift -= 4) {
                words += kHexDigits[(state.flash[i] >> shift) & 0xF];
            }
        }
        out << words << '\n';
    }
    out << "end\n";
    return out.str();
}

namespace {
std::map<uint16_t, uint16_t> changesFromFactory(const std::map<uint16_t, uint16_t>& stored) {
    const std::map<uint16_t, uint16_t> factory = ferroxFactoryParameters();
    std::map<uint16_t, uint16_t> changes;
    for (const auto& [param, value] : stored) {
        auto found = factory.find(param);
        if (found == factory.end() || found->second != value) {
            changes[param] = value;
        }
    }
    return changes;
}

std::atomic<bool> stateLost{false};

// Keeps the file up to date with the drive's part. A flash changes the memory with every packet
// and every save rewrites the whole file, so saves come at most every kSaveInterval; a change
// not saved yet is saved when the drive goes away (the program ends or builds another drive).
class StateKeeper {
public:
    StateKeeper(std::string path, DriveState state)
        : path_(std::move(path)), state_(std::move(state)) {}
    StateKeeper(const StateKeeper&) = delete;
    StateKeeper& operator=(const StateKeeper&) = delete;
    ~StateKeeper() {
        if (pending_) {
            save();
        }
    }

    void changed(const std::function<void(DriveState&)>& takePart) {
        const std::lock_guard<std::mutex> hold(mutex_);
        takePart(state_);
        pending_ = true;
        if (std::chrono::steady_clock::now() - lastSave_ >= kSaveInterval) {
            save();
        }
    }

    void saveIfPending() {
        const std::lock_guard<std::mutex> hold(mutex_);
        if (pending_) {
            save();
        }
    }

private:
    static constexpr std::chrono::milliseconds kSaveInterval{200};

    void save() {
        pending_ = false;
        lastSave_ = std::chrono::steady_clock::now();
        std::string error;
        if (!saveDriveState(path_, state_, error) && !failureReported_) {
            failureReported_ = true;
            stateLost = true;
            std::fprintf(stderr, "Simulated drive: %s\n", error.c_str());
        }
    }

    std::mutex mutex_;  // a program may save the drives' changes while a drive makes more
    std::string path_;
    DriveState state_;
    bool pending_ = false;
    bool failureReported_ = false;
    std::chrono::steady_clock::time_point lastSave_ =
        std::chrono::steady_clock::now() - kSaveInterval;
};

// The keepers of the drives alive now, for saveDriveStatesNow.
std::mutex keepersMutex;
std::vector<std::weak_ptr<StateKeeper>> liveKeepers;

void keepPart(DrivePersonality& drive, const std::string& path, DriveState loaded,
              std::function<void(DriveState&)> takePart) {
    auto keeper = std::make_shared<StateKeeper>(path, std::move(loaded));
    drive.setNonVolatileListener([keeper, takePart] { keeper->changed(takePart); });
    const std::lock_guard<std::mutex> hold(keepersMutex);
    liveKeepers.erase(std::remove_if(liveKeepers.begin(), liveKeepers.end(),
                                     [](const auto& kept) { return kept.expired(); }),
                      liveKeepers.end());
    liveKeepers.push_back(keeper);
}
}  // namespace

bool loadDriveState(const std::string& path, DriveState& state, std::string& error) {
    // A FIFO or a device named as the state would block or never end: only a regular file is
    // opened, and only as much of it as a whole flash can take up is read.
    constexpr size_t kLargestState = size_t(16) << 20;
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        const int problem = errno;
        if (problem != ENOENT) {
            error = "state file '" + path + "' cannot be read: " + std::strerror(problem);
            return false;
        }
        struct stat folder {};
        if (stat(folderOf(path).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
            error = "state file '" + path + "' cannot be made: there is no folder '" +
                    folderOf(path) + "'";
            return false;
        }
        state = DriveState{};  // the factory drive; the file comes with the first change
        return true;
    }
    const files::RegularFile opened = files::openRegularFile(path.c_str());
    if (opened.outcome != files::FileOpening::Opened) {
        const int problem = errno;
        error = "state file '" + path + "' cannot be read: " +
                (S_ISREG(status.st_mode) ? std::strerror(problem) : "it is not a regular file");
        return false;
    }
    std::string content;
    char buffer[65536];
    ssize_t got = 0;
    while (content.size() <= kLargestState &&
           (got = read(opened.descriptor, buffer, sizeof buffer)) > 0) {
        content.append(buffer, size_t(got));
    }
    close(opened.descriptor);
    DriveState read;
    std::string why;
    if (got < 0 || content.size() > kLargestState || !parseDriveState(content, read, why)) {
        error = "state file '" + path + "' is damaged or not a simulated drive's state: " +
                (why.empty() ? "it cannot be read whole" : why);
        return false;
    }
    state = std::move(read);
    return true;
}

bool parseDriveState(const std::string& text, DriveState& state, std::string& why) {
    std::istringstream in(text);
    return StateReader(in).read(state, why);
}

bool saveDriveState(const std::string& path, const DriveState& state, std::string& error) {
    std::string why;
    if (!files::replaceFile(path, driveStateText(state), why)) {
        error = "state file '" + path + "' cannot be written: " + why;
        return false;
    }
    return true;
}

void saveDriveStatesNow() {
    std::vector<std::shared_ptr<StateKeeper>> keepers;
    {
        const std::lock_guard<std::mutex> hold(keepersMutex);
        for (const auto& kept : liveKeepers) {
            if (auto keeper = kept.lock()) {
                keepers.push_back(std::move(keeper));
            }
        }
    }
    for (const auto& keeper : keepers) {
        keeper->saveIfPending();
    }
}

bool driveStateLost() {
    return stateLost;
}

void keepDriveState(FerroxFirmware& firmware, const std::string& path, DriveState loaded) {
    firmware.restoreStoredParams(loaded.storedParamChanges);
    keepPart(firmware, path, std::move(loaded), [&firmware](DriveState& state) {
        state.storedParamChanges = changesFromFactory(firmware.storedParams());
    });
}

void keepDriveState(SimulatedBootloader& bootloader, const std::string& path, DriveState loaded) {
    if (!loaded.flash.empty()) {
        bootloader.restoreFlash(loaded.flash);
    }
    keepPart(bootloader, path, std::move(loaded),
             [&bootloader](DriveState& state) { state.flash = bootloader.flash(); });
}

}  // namespace drive_sim
