// The drive link of both programs: the USB adapter in synchronous bit-bang mode, 32-bit command
// frames with CRC-8, parameter access with the two-frame answer lag, and runs of frames. One Link
// per connection owns everything a connection has: the adapter handle and its flags, the dialect,
// the trace sink, the quiet-trace switch and the stop request. Two links never share state, so
// two adapters can be worked in one process.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "d2xx.h"
#include "trace.h"

namespace drive_link {

class FrameRun;

// The adapter as the link sees it; zero until the link is first opened.
struct LinkState {
    FT_HANDLE adapterHandle = nullptr;
    FT_STATUS adapterStatus = FT_OK;  // last status recorded by open
    bool linkOpen = false;            // the adapter handle is open
    bool linkGood = false;            // configured, and no transfer has failed since
};

// How the two programs differ on the same link: the configuration program talks to the Ferrox
// firmware, the flasher to the bootloader.
enum class LinkDialect {
    Firmware,    // no-op 2, "CRC error (correct %02x) ", "Setparam" lines
    Bootloader,  // no-op 1, bare "CRC error ", no "Setparam" lines
};

// Standard: one USB write and one read per 16-bit word, as the drive has always been driven.
// Fast: a run of frames goes out as one stream; the drive sees the same bits, only the time
// between words differs.
enum class LinkMode { Standard, Fast };

constexpr int kDefaultWordGapMicroseconds = 100;
constexpr int kMaxWordGapMicroseconds = 10000;

struct LinkSettings {
    LinkMode mode = LinkMode::Standard;
    // Fast mode: at least this long between two words, for a drive that needs the time.
    int wordGapMicroseconds = kDefaultWordGapMicroseconds;
};

// A frame's reply as the link received it.
struct Reply {
    uint32_t raw = 0;      // 0 when there was no connection to receive one
    bool checked = false;  // the link was up and the reply passed its CRC
    uint8_t status() const { return uint8_t(raw >> 24); }
    uint16_t value() const { return uint16_t(raw >> 8); }
};

uint8_t frameCrc(uint8_t first, uint16_t value);

class Link {
public:
    explicit Link(LinkDialect dialect = LinkDialect::Firmware, LinkSettings settings = {});
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    LinkDialect dialect() const { return dialect_; }
    // The dialect's no-op: it carries the answer to the command two frames before it.
    uint16_t noOpCommand() const;
    const LinkSettings& settings() const { return settings_; }
    // Another mode or gap from the next frame on; an open adapter gets the mode's latency timer.
    void changeSettings(LinkSettings settings);
    const LinkState& state() const { return state_; }

    // --- The adapter ---
    // Which adapter open() takes: the one the program chose at start (empty), or the one at a
    // USB port path, for a station that works one link per fixture at once.
    void useAdapterAt(std::string portPath) { adapterPort_ = std::move(portPath); }
    const std::string& adapterPort() const { return adapterPort_; }
    // Opens the chosen adapter and configures it; `clockHigh` picks the byte written afterwards
    // (9 or 1). Returns whether the link is good. An open link is closed first.
    bool open(bool clockHigh);
    // Closes the adapter if it is open and the last recorded status was a success.
    FT_STATUS close();

    // --- Words and frames ---
    // Clocks one 16-bit word out and returns the word clocked in meanwhile; 0 when the link is
    // down.
    uint16_t exchangeWord(uint16_t word);
    // Sends one frame (only the low 8 bits of `command` go out) and returns the 32-bit reply.
    uint32_t exchangeFrame(uint16_t command, uint16_t value);
    // One traced transaction. Sets `error` on a missing link or a reply that fails its CRC,
    // never clears it. Stores the whole reply in `rawReply` when given and the link is up.
    uint16_t transact(uint16_t command, uint16_t value, bool& error, uint32_t* rawReply = nullptr);
    uint16_t sendNoOp(bool& error, uint32_t* rawReply = nullptr);
    // Sends the run's frames in order and hands each reply to the run, traced as each frame
    // would be alone. Standard mode sends frame by frame and stops where the run says no more
    // frames are wanted; fast mode streams them and has sent them all by then.
    void run(FrameRun& frames);

    // --- Trace ---
    void setTraceSink(TraceSink sink);
    void trace(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Silences the per-transaction trace (the scope download, the link check).
    void setQuietTrace(bool quiet) { quietTrace_ = quiet; }
    bool quietTrace() const { return quietTrace_; }

    // --- Stop ---
    // Async-signal-safe: from the next frame on the link is down (the fast link: from its next
    // stream), so the work under way ends as after a lost link and the adapter can still be
    // closed cleanly. The next open starts afresh.
    void requestStop() { stopRequested_.store(true); }
    bool stopRequested() const { return stopRequested_.load(); }

    // Fast mode: the time one byte takes on the wire, as measured on this link's own streams
    // (an estimate that errs short until a long stream was timed).
    double byteMicroseconds() const { return byteMicroseconds_; }
    bool byteTimeMeasured() const { return byteTimed_; }

private:
    // The frame's words on the wire, untraced.
    uint32_t clockFrame(uint16_t command, uint16_t value);
    // The first half of a frame's trace line: the command and its value.
    void traceRequest(uint16_t command, uint16_t value);
    // Checks a reply and traces the second half of its line.
    Reply frameReply(uint32_t received);
    std::vector<uint32_t> streamFrames(const FrameRun& frames, size_t first, size_t count);
    // The byte time the word gaps are counted in.
    double gapByteMicroseconds() const;
    // Writes `bytes` and reads as many back; returns how many arrived. A failure takes the link
    // down.
    size_t transfer(const uint8_t* out, uint8_t* in, size_t bytes);

    LinkDialect dialect_;
    LinkSettings settings_;
    std::string adapterPort_;
    LinkState state_;
    TraceSink sink_;
    bool quietTrace_ = false;
    std::atomic<bool> stopRequested_{false};
    static_assert(std::atomic<bool>::is_always_lock_free, "a stop request from a signal handler");
    double byteMicroseconds_;
    bool byteTimed_ = false;
    unsigned char standardLatencyMs_ = 4;  // the standard link's timer at the rate it got
    DWORD baudRate_ = 10000;               // the rate the adapter took
};

// --- Parameter access ---
// Command 50 with the content, then 51 with the number; returns the reply of the second frame.
uint16_t setParam(Link& link, uint16_t number, uint16_t content, bool& error);
// Command 52 with the number and two no-ops; returns the third reply, the content.
uint16_t getParam(Link& link, uint16_t number, bool& error);

}  // namespace drive_link
