// tressel: the firmware flasher for KMR drives in bootloader mode.
#include "flasher_window.h"
#include "startup.h"

int main(int argc, char** argv) {
    const ProgramInfo info{"tressel", "2.0",
                           "Writes a .vlf firmware image into a KMR drive through its bootloader.",
                           LinkDialect::Bootloader};
    Q_INIT_RESOURCE(tressel);
    return runProgram(argc, argv, info, [] { return new Morvane; });
}
