#include "make_vlf_args.h"

#include <cerrno>
#include <cstdlib>

namespace vlf {

namespace {
// Decimal or 0x-prefixed hexadecimal, the whole text, at most `limit`.
bool parseNumber(const std::string& text, unsigned long limit, unsigned long& number) {
    if (text.empty() || text[0] == '-' || text[0] == '+') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    number = std::strtoul(text.c_str(), &end, 0);
    return errno == 0 && *end == '\0' && number <= limit;
}

bool takeValue(const std::string& arg, const std::string& key, std::string& value) {
    const std::string prefix = key + "=";
    if (arg.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    value = arg.substr(prefix.size());
    return true;
}
}  // namespace

const char* makeVlfUsage() {
    return "Usage: make_vlf [--setup=WORD] (--packets=N [--seed=S] | --binary=FILE) OUTPUT.vlf\n"
           "Writes a firmware image file: packets of a reproducible pattern, or the bytes of\n"
           "FILE as little-endian words padded with 0xFFFF to whole 72-word packets. The\n"
           "checksum word is the 16-bit sum of the packet words. Numbers may be given in hex\n"
           "with 0x.\n";
}

bool parseMakeVlfArgs(int argc, const char* const* argv, MakeVlfRequest& request,
                      std::string& error) {
    request = MakeVlfRequest{};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string value;
        unsigned long number = 0;
        if (arg == "--help" || arg == "-h") {
            request.help = true;
            return true;
        }
        if (takeValue(arg, "--setup", value)) {
            if (!parseNumber(value, 0xFFFF, number)) {
                error = "--setup needs a 16-bit number, not '" + value + "'";
                return false;
            }
            request.setupWord = uint16_t(number);
        } else if (takeValue(arg, "--seed", value)) {
            if (!parseNumber(value, 0xFFFFFFFFul, number)) {
                error = "--seed needs a 32-bit number, not '" + value + "'";
                return false;
            }
            request.seed = uint32_t(number);
        } else if (takeValue(arg, "--packets", value)) {
            if (!parseNumber(value, 65535, number)) {
                error = "--packets needs a count from 0 to 65535, not '" + value + "'";
                return false;
            }
            request.packetCount = long(number);
        } else if (takeValue(arg, "--binary", value)) {
            if (value.empty()) {
                error = "--binary needs a file name";
                return false;
            }
            request.binary = value;
        } else if (arg.compare(0, 2, "--") == 0) {
            error = "unknown option '" + arg + "'";
            return false;
        } else if (request.output.empty()) {
            request.output = arg;
        } else {
            error = "only one output file, not also '" + arg + "'";
            return false;
        }
    }
    if (request.output.empty()) {
        error = "no output file given";
        return false;
    }
    if ((request.packetCount >= 0) == !request.binary.empty()) {
        error = "give either --packets or --binary";
        return false;
    }
    return true;
}

}  // namespace vlf
