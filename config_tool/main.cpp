// morvane: the configuration program for KMR drives running the Ferrox firmware.
#include "morvane.h"
#include "startup.h"

int main(int argc, char** argv) {
    const ProgramInfo info{"morvane", "1.0.0",
                           "Configures KMR-20/30 drives running the Ferrox firmware.",
                           LinkDialect::Firmware};
    Q_INIT_RESOURCE(morvane);
    return runProgram(argc, argv, info, [] {
        Morvane* window = new Morvane;
        window->resize(300, 400);
        return window;
    });
}
