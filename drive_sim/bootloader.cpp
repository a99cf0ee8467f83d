#include "bootloader.h"

#include <algorithm>

namespace drive_sim {

namespace {
// The simulator's own copy of the bootloader's protocol, apart from drive_link's on purpose: it
// is the independent check of the flasher.
enum Command : uint8_t {
    kNoOp = 1,
    kSetup = 5,
    kErase = 9,
    kVersion = 11,
    kProgram = 17,
    kDataWord = 19,
    kVerify = 22,
    kFaultBits = 25,
};
constexpr uint16_t kEraseKey = 0xC308;

constexpr uint8_t kIdle = 0x01;
constexpr uint8_t kErasing = 0x30;
constexpr uint8_t kProgramming = 0x10;
constexpr uint8_t kUnexpected = 0x00;
constexpr uint8_t kUnknownCommandBit = 0x80;

constexpr size_t kPacketWords = 72;
}  // namespace

uint16_t factoryFlashWord(size_t address) {
    return uint16_t(0x5A3C ^ (address * 0x9E37u));
}

const std::vector<uint16_t>& flashPeriod(FlashBase base) {
    static const auto period = [](FlashBase base) {
        std::vector<uint16_t> words(kFactoryFlashPeriod, kErasedFlashWord);
        for (size_t i = 0; base == FlashBase::Factory && i < words.size(); ++i) {
            words[i] = factoryFlashWord(i);
        }
        return words;
    };
    static const std::vector<uint16_t> erased = period(FlashBase::Erased);
    static const std::vector<uint16_t> factory = period(FlashBase::Factory);
    return base == FlashBase::Erased ? erased : factory;
}

void makeFlash(std::vector<uint16_t>& flash, FlashBase base, size_t words) {
    const std::vector<uint16_t>& period = flashPeriod(base);
    flash.clear();
    flash.reserve(words);
    while (flash.size() < words) {
        const size_t take = std::min(period.size(), words - flash.size());
        flash.insert(flash.end(), period.begin(), period.begin() + ptrdiff_t(take));
    }
}

std::vector<uint16_t> factoryFlash(size_t words) {
    std::vector<uint16_t> flash;
    makeFlash(flash, FlashBase::Factory, words);
    return flash;
}

struct SimulatedBootloader::Impl {
    explicit Impl(BootloaderSettings s) : settings(s), flash(factoryFlash(s.flashWords)) {}

    BootloaderSettings settings;
    std::vector<uint16_t> flash;  // non-volatile

    // Volatile, lost at power-up.
    uint8_t status = kIdle;
    int busyFrames = 0;
    uint8_t statusAfterBusy = kIdle;
    uint16_t setupWord = 0;
    std::vector<uint16_t> packet;  // data words since the last program command
    bool packetOverrun = false;    // data words that came while busy or past 72
    bool erasedSincePowerUp = false;
    bool verifiedSincePowerUp = false;
    size_t nextAddress = 0;
    std::vector<uint16_t> written;  // every good packet's words since the erase, in order
    int eraseCount = 0;
    int packetsProgrammed = 0;
    int badPackets = 0;

    void powerUp() {
        status = kIdle;
        busyFrames = 0;
        setupWord = 0;
        packet.clear();
        packetOverrun = false;
        erasedSincePowerUp = false;
        verifiedSincePowerUp = false;
        nextAddress = 0;
        written.clear();
        packetsProgrammed = 0;
        badPackets = 0;
    }

    bool isBusy() const { return (status & 0x30) != 0; }

    // Every frame the bootloader executes is one step of its erase or programming.
    void advance() {
        if (!isBusy() || settings.busyForever) {
            return;
        }
        if (--busyFrames <= 0) {
            status = settings.unexpectedStatusAfterBusy ? kUnexpected : statusAfterBusy;
        }
    }

    void startBusy(uint8_t busyStatus, int frames) {
        statusAfterBusy = status;
        status = busyStatus;
        busyFrames = frames;
        if (frames <= 0 && !settings.busyForever) {
            status = settings.unexpectedStatusAfterBusy ? kUnexpected : statusAfterBusy;
        }
    }

    void erase() {
        std::fill(flash.begin(), flash.end(), kErasedFlashWord);
        erasedSincePowerUp = true;
        verifiedSincePowerUp = false;
        nextAddress = 0;
        written.clear();
        packet.clear();
        packetOverrun = false;
        packetsProgrammed = 0;
        badPackets = 0;
        ++eraseCount;
        startBusy(kErasing, settings.eraseBusyFrames);
    }

    void takeDataWord(uint16_t word) {
        if (isBusy() || packet.size() >= kPacketWords) {
            packetOverrun = true;
            return;
        }
        packet.push_back(word);
    }

    // A packet with a lost or extra word, or one that does not fit, is not programmed and
    // spoils the verification until the next erase. Returns whether the flash took it.
    bool program() {
        const bool whole = !isBusy() && !packetOverrun && packet.size() == kPacketWords &&
                           nextAddress + kPacketWords <= flash.size();
        if (whole) {
            for (size_t j = 0; j < kPacketWords; ++j) {
                flash[nextAddress + j] &= packet[j];
            }
            written.insert(written.end(), packet.begin(), packet.end());
            nextAddress += kPacketWords;
            ++packetsProgrammed;
        } else {
            ++badPackets;
        }
        packet.clear();
        packetOverrun = false;
        if (!isBusy()) {
            startBusy(kProgramming, settings.programBusyFrames);
        }
        return whole;
    }

    bool verifies() const {
        if (settings.failVerification || !erasedSincePowerUp || badPackets > 0 || !packet.empty() ||
            packetOverrun) {
            return false;
        }
        return std::equal(written.begin(), written.end(), flash.begin());
    }

    Answer reply(uint16_t value, uint8_t extraStatus = 0) const {
        return Answer{framedReply(uint8_t(status | extraStatus), value), false};
    }
};

SimulatedBootloader::SimulatedBootloader(BootloaderSettings settings)
    : impl_(std::make_unique<Impl>(settings)) {}
SimulatedBootloader::~SimulatedBootloader() = default;

void SimulatedBootloader::powerUp() {
    impl_->powerUp();
}

uint32_t SimulatedBootloader::powerUpReply() const {
    return framedReply(kIdle, 0);
}

Answer SimulatedBootloader::execute(uint8_t command, uint16_t value) {
    Impl& d = *impl_;
    d.advance();
    switch (command) {
        case kNoOp:
            return d.reply(0);
        case kSetup:
            d.setupWord = value;
            return d.reply(value);
        case kErase:
            if (value == kEraseKey && !d.isBusy()) {
                d.erase();
                nonVolatileChanged();
            }
            return d.reply(0);
        case kVersion:
            return d.reply(d.settings.version);
        case kProgram:
            if (d.program()) {
                nonVolatileChanged();
            }
            return d.reply(0);
        case kDataWord:
            d.takeDataWord(value);
            return d.reply(value);
        case kVerify:
            d.verifiedSincePowerUp = d.verifies();
            return d.reply(d.verifiedSincePowerUp ? 1 : 0);
        case kFaultBits:
            return d.reply(d.settings.faultBits);
        default:
            return d.reply(0, kUnknownCommandBit);
    }
}

BootloaderSettings& SimulatedBootloader::settings() {
    return impl_->settings;
}
const std::vector<uint16_t>& SimulatedBootloader::flash() const {
    return impl_->flash;
}
void SimulatedBootloader::restoreFlash(std::vector<uint16_t> flash) {
    impl_->flash = std::move(flash);
}
uint16_t SimulatedBootloader::setupWord() const {
    return impl_->setupWord;
}
int SimulatedBootloader::eraseCount() const {
    return impl_->eraseCount;
}
int SimulatedBootloader::packetsProgrammed() const {
    return impl_->packetsProgrammed;
}
int SimulatedBootloader::badPackets() const {
    return impl_->badPackets;
}
bool SimulatedBootloader::busy() const {
    return impl_->isBusy();
}
bool SimulatedBootloader::verifiedSincePowerUp() const {
    return impl_->verifiedSincePowerUp;
}

std::unique_ptr<DrivePersonality> makeBootloader() {
    return std::make_unique<SimulatedBootloader>();
}

std::unique_ptr<SimulatedBootloader> makeBootloader(BootloaderSettings settings) {
    return std::make_unique<SimulatedBootloader>(settings);
}

}  // namespace drive_sim
