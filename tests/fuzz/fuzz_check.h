// What the harnesses share: a scratch file for the input, and a check that ends the run with a
// message when an input broke a rule (libFuzzer keeps the input; the replay test fails).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition, what)                                                 \
    do {                                                                            \
        if (!(condition)) {                                                         \
            std::fprintf(stderr, "fuzz check failed: %s (%s)\n", what, #condition); \
            std::abort();                                                           \
        }                                                                           \
    } while (false)

// Writes the input to this process's own scratch file and returns its path.
std::string writeScratchInput(const char* extension, const uint8_t* data, size_t size);
