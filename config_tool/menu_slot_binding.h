// The menu slots keep their on_<action>_activated names, but actions only have `triggered`:
// connect-by-name finds no signal for them and says so on standard error. The window wires them
// by hand, and this guard keeps those five complaints (and nothing else) quiet during setup.
#pragma once

class QuietActivatedSlotWarnings {
public:
    QuietActivatedSlotWarnings();
    ~QuietActivatedSlotWarnings();
    QuietActivatedSlotWarnings(const QuietActivatedSlotWarnings&) = delete;
    QuietActivatedSlotWarnings& operator=(const QuietActivatedSlotWarnings&) = delete;
};
