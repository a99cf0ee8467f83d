// What keeping the simulated drive's state file costs a flash: the bootloader takes N packets
// with no state file, with the file kept as the drive keeps it (saves at most every 200 ms and
// at the end), and with a save after every packet (up to 1000 packets). The file goes to the
// temporary folder. A report; nothing is asserted.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "bootloader.h"
#include "drive_state.h"

namespace {
constexpr int kBusyFrames = 40;  // more than an erase or a packet keeps the bootloader busy

// Seconds to erase and program `packets` packets; `afterPacket` runs after each one.
double flash(drive_sim::SimulatedBootloader& bootloader, int packets,
             const std::function<void()>& afterPacket) {
    const auto start = std::chrono::steady_clock::now();
    bootloader.powerUp();
    bootloader.execute(9, 0xC308);
    for (int packet = 0; packet < packets; ++packet) {
        for (int i = 0; i < kBusyFrames; ++i) {
            bootloader.execute(1, 0);
        }
        for (uint16_t word = 0; word < 72; ++word) {
            bootloader.execute(19, uint16_t(packet * 72 + word));
        }
        bootloader.execute(17, 0);
        afterPacket();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int main() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "state_file_bench.state").string();
    std::printf("%8s %12s %12s %16s %10s\n", "packets", "no file", "kept", "every packet", "file");
    for (int packets : {120, 1000, 3640}) {
        std::remove(path.c_str());
        drive_sim::SimulatedBootloader plain;
        const double none = flash(plain, packets, [] {});
        const auto start = std::chrono::steady_clock::now();
        {
            drive_sim::SimulatedBootloader bootloader;
            drive_sim::keepDriveState(bootloader, path, {});
            flash(bootloader, packets, [] {});
        }  // the last change is saved here, as at the end of a program
        const double kept =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // A save after every packet grows with the flash: the full flash would take a minute.
        drive_sim::SimulatedBootloader eager;
        drive_sim::DriveState state;
        std::string error;
        const double every = packets > 1000 ? 0.0 : flash(eager, packets, [&] {
            state.flash = eager.flash();
            drive_sim::saveDriveState(path, state, error);
        });
        FILE* file = std::fopen(path.c_str(), "rb");
        long bytes = 0;
        if (file) {
            std::fseek(file, 0, SEEK_END);
            bytes = std::ftell(file);
            std::fclose(file);
        }
        char everyText[32] = "-";
        if (packets <= 1000) {
            std::snprintf(everyText, sizeof everyText, "%.3f s", every);
        }
        std::printf("%8d %10.3f s %10.3f s %16s %7ld kB\n", packets, none, kept, everyText,
                    bytes / 1000);
    }
    std::remove(path.c_str());
    return 0;
}
