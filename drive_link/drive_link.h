// The drive link of both programs: the USB adapter in synchronous bit-bang mode, 32-bit command
// frames with CRC-8, parameter access with the two-frame answer lag, and the report of a lost
// link. Everything here runs on the GUI thread and blocks until the adapter answers.
#pragma once

#include <cstdint>

#include "d2xx.h"

namespace drive_link {

// The adapter as the link sees it; one record for the whole process, zero at start.
struct LinkState {
    FT_HANDLE adapterHandle = nullptr;
    FT_STATUS adapterStatus = FT_OK;  // last status recorded by openLink
    bool linkOpen = false;            // the adapter handle is open
    bool linkGood = false;            // configured, and no transfer has failed since
};
extern LinkState linkState;

// Silences the per-transaction trace; set only while the scope is downloaded.
extern bool quietTrace;

// How the two programs differ on the same link: the configuration program talks to the Ferrox
// firmware, the flasher to the bootloader.
enum class LinkDialect {
    Firmware,    // no-op 2, "CRC error (correct %02x) ", "Setparam" lines
    Bootloader,  // no-op 1, bare "CRC error ", no "Setparam" lines
};
void setLinkDialect(LinkDialect dialect);
LinkDialect linkDialect();
uint16_t noOpCommand();

// Back to the state of program start, the dialect included (tests run many cases in one
// process). The trace sink stays: it is the program's choice, not the link's state.
void resetLinkState();

// --- USB word exchange ---
// Opens the first adapter and configures it; `clockHigh` picks the byte written afterwards
// (9 or 1). Returns whether the link is good.
bool openLink(bool clockHigh);
// Closes the adapter if it is open and the last recorded status was a success.
FT_STATUS closeLink();
// Clocks one 16-bit word out and returns the word clocked in meanwhile; 0 when the link is down.
uint16_t exchangeWord(uint16_t word);
// Asked for from a signal handler (async-signal-safe): from the next word on the link is down, so
// the work under way ends as after a lost link and the adapter can still be closed cleanly.
void requestLinkAbort();
bool linkAbortRequested();

// --- Command frames ---
uint8_t frameCrc(uint8_t first, uint16_t value);
// Sends one frame (only the low 8 bits of `command` go out) and returns the 32-bit reply.
uint32_t exchangeFrame(uint16_t command, uint16_t value);
// One traced transaction. Sets `error` on a missing link or a reply that fails its CRC, never
// clears it. Stores the whole reply in `rawReply` when given and the link is up.
uint16_t transact(uint16_t command, uint16_t value, bool& error, uint32_t* rawReply = nullptr);
// The dialect's no-op: it carries the answer to the command two frames before it.
uint16_t sendNoOp(bool& error, uint32_t* rawReply = nullptr);

// --- Parameter access ---
// Command 50 with the content, then 51 with the number; returns the reply of the second frame.
uint16_t setParam(uint16_t number, uint16_t content, bool& error);
// Command 52 with the number and two no-ops; returns the third reply, the content.
uint16_t getParam(uint16_t number, bool& error);

}  // namespace drive_link
