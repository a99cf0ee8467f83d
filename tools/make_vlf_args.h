// The command line of make_vlf.
#pragma once

#include <cstdint>
#include <string>

namespace vlf {

struct MakeVlfRequest {
    std::string output;
    std::string binary;     // packets from this file, when given
    long packetCount = -1;  // otherwise this many packets of the pattern
    uint32_t seed = 1;
    uint16_t setupWord = 0;
    bool help = false;
};

const char* makeVlfUsage();

// False with a reason in `error` when the arguments do not describe one image.
bool parseMakeVlfArgs(int argc, const char* const* argv, MakeVlfRequest& request,
                      std::string& error);

}  // namespace vlf
