#include "program_help.h"

#include <cstdio>

#include "sim_options.h"
#include "terminal_text.h"

namespace startup {

using drive_link::LinkDialect;

void printRefusal(const ProgramInfo& info, const QString& why) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", info.name,
                 qPrintable(terminal_text::escapedForTerminal(why)), info.name);
}

void printProgramHelp(const ProgramInfo& info) {
    std::printf(
        "Usage: %s [SUBCOMMAND] [--adapter=SERIAL|BUS:DEV|PORT | --simulate[=KEY=VALUE,...]]\n"
        "%s\n\n"
        "Options:\n"
        "  --help                 show this text and exit\n"
        "  --version              show the version and exit\n"
        "  --list-adapters        list the FTDI adapters on the USB bus (bus:device, port path,\n"
        "                         product, serial number) and exit\n"
        "  --adapter=SERIAL       use the FTDI adapter with this serial number instead of the\n"
        "  --adapter=BUS:DEV      first one, or the one at this bus and device number, or the\n"
        "  --adapter=PORT         one at this USB port path (e.g. 1-1.4.2, kept across replugs)\n"
        "  --link=standard|fast   how frames go over USB: standard (the default) sends each\n"
        "                         16-bit word in a transfer of its own, as drives have always\n"
        "                         been driven; fast streams runs of frames, many times faster.\n"
        "                         The drive sees the same bits; judge fast mode with link-test\n"
        "                         --sweep on your own adapter and drive before using it\n"
        "  --word-gap=MICROSECONDS  with --link=fast: at least this long between two words, for\n"
        "                         a drive that needs the time (default %d, 0 to %d)\n"
        "  --simulate[=OPTIONS]   use the built-in simulated adapter and drive instead of an\n"
        "                         FTDI adapter. OPTIONS, separated by commas:\n"
        "                           mode=firmware|bootloader  what the drive runs (default %s)\n"
        "                           after_flash=firmware      run the firmware at the power-up "
        "after a\n"
        "                                                     verified flash, once (a station's "
        "settings)\n"
        "                           power=on|off              drive logic supply (default on)\n"
        "                           ber=RATE                  bit-error rate of the line, e.g. "
        "1e-3\n"
        "                           latency=MS                time of one USB transfer (default "
        "%g)\n"
        "                           seed=N                    seed of the line's bit errors, to "
        "replay a run\n"
        "                                                     (default: a fresh one, shown when "
        "ber is set)\n"
        "                           state=FILE                keep what the drive stores "
        "(settings, flash)\n"
        "                                                     in FILE from one run to the next\n"
        "                           clamp=NUMBER:MAX          the drive keeps at most MAX in "
        "parameter\n"
        "                                                     NUMBER whenever it is written\n"
        "                           plug_in_after=SECONDS     the adapter is on the bus only "
        "this long\n"
        "                                                     after the start (0 to 3600)\n"
        "                           inertia=KG_M2 viscous=NM_S_PER_RAD coulomb=NM load=NM\n"
        "                           kt=NM_PER_A gain_scale=F  the simulated axis's mechanics "
        "and the\n"
        "                                                     firmware's gain scaling (default: "
        "the\n"
        "                                                     factory axis)\n",
        info.name, info.summary, drive_link::kDefaultWordGapMicroseconds,
        drive_link::kMaxWordGapMicroseconds,
        info.dialect == LinkDialect::Firmware ? "firmware" : "bootloader",
        drive_sim::SimOptions{}.latencyMs);
    std::fputs(info.moreHelp, stdout);
}

}  // namespace startup
