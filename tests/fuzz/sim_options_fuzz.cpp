// The --simulate option's text of any bytes: refused with a reason and the options untouched, or
// options in range; every key sets its value outright, so the same text read again on top of
// what it gave changes nothing.
#include <cmath>
#include <tuple>

#include "fuzz_check.h"
#include "sim_options.h"

using namespace drive_sim;

static auto comparable(const SimOptions& o) {
    const AxisMechanics& m = o.mechanics;
    return std::tie(o.mode, o.powered, o.bitErrorRate, o.latencyMs, o.seed, o.stateFile,
                    o.storedState.storedParamChanges, o.storedState.flash, o.writeLimits, m.inertia,
                    m.viscousFriction, m.coulombFriction, m.load, m.torqueConstant, m.gainScale);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SimOptions options;
    std::string error;
    if (!parseSimOptions(text, options, error)) {
        FUZZ_CHECK(!error.empty(), "a refusal names its reason");
        FUZZ_CHECK(comparable(options) == comparable(SimOptions{}), "refused text changes nothing");
        return 0;
    }
    const AxisMechanics& m = options.mechanics;
    FUZZ_CHECK(options.bitErrorRate >= 0 && options.bitErrorRate <= 1 && options.latencyMs >= 0 &&
                   options.latencyMs <= 1000 && m.inertia > 0 && m.inertia <= 1 &&
                   m.torqueConstant > 0 && std::abs(m.load) <= 10 && m.gainScale > 0,
               "values in range");
    SimOptions again = options;
    FUZZ_CHECK(parseSimOptions(text, again, error) && comparable(again) == comparable(options),
               "read again, the same options");
    return 0;
}
