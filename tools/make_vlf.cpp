// make_vlf: writes a .vlf firmware image file for tests and demonstrations.
#include <cstdio>

#include "make_vlf_args.h"
#include "vlf_writer.h"

int main(int argc, char** argv) {
    vlf::MakeVlfRequest request;
    std::string error;
    if (!vlf::parseMakeVlfArgs(argc, argv, request, error)) {
        std::fprintf(stderr, "make_vlf: %s\n%s", error.c_str(), vlf::makeVlfUsage());
        return 2;
    }
    if (request.help) {
        std::fputs(vlf::makeVlfUsage(), stdout);
        return 0;
    }

    vlf::ImageLayout layout;
    layout.setupWord = request.setupWord;
    if (request.binary.empty()) {
        layout.words = vlf::patternPackets(size_t(request.packetCount), request.seed);
    } else {
        std::vector<uint8_t> bytes;
        if (!vlf::readBytes(request.binary, bytes, error)) {
            std::fprintf(stderr, "make_vlf: %s\n", error.c_str());
            return 1;
        }
        layout.words = vlf::packetsFromBinary(bytes);
    }
    if (!vlf::writeImage(request.output, layout, error)) {
        std::fprintf(stderr, "make_vlf: %s\n", error.c_str());
        return 1;
    }
    std::printf("wrote %s: %zu packets, setup word 0x%04X, checksum word %u\n",
                request.output.c_str(), layout.words.size() / vlf::kPacketWords,
                unsigned(layout.setupWord), unsigned(vlf::checksumWord(layout.words)));
    return 0;
}
