// Whole decimal numbers as the --simulate options and the state file write them.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace drive_sim {

// Digits only: a sign, a fraction or hex would be read as some other number.
inline bool parseWholeNumber(const std::string& text, uint64_t most, uint64_t& number) {
    const bool digits = !text.empty() && text.size() <= 20 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    errno = 0;
    const unsigned long long parsed = digits ? std::strtoull(text.c_str(), nullptr, 10) : 0;
    if (!digits || errno == ERANGE || parsed > most) {
        return false;
    }
    number = uint64_t(parsed);
    return true;
}

}  // namespace drive_sim
