// The --simulate option's text of any bytes: refused with a reason and the options untouched, or
// options in range; every key sets its value outright, so the same text read again on top of
// what it gave changes nothing.
#include <string>
#include <tuple>

#include "ferrox_factory.h"
#include "fuzz_check.h"
#include "sim_options.h"

using namespace drive_sim;

namespace {
auto comparable(const SimOptions& o) {
    const AxisMechanics& m = o.mechanics;
    return std::tie(o.mode, o.powered, o.bitErrorRate, o.latencyMs, o.seed, o.stateFile,
                    o.storedState.storedParamChanges, o.storedState.flash, o.writeLimits, m.inertia,
                    m.viscousFriction, m.coulombFriction, m.load, m.torqueConstant, m.gainScale);
}
}  // namespace

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
    FUZZ_CHECK(options.bitErrorRate >= 0 && options.bitErrorRate <= 1, "ber in range");
    FUZZ_CHECK(options.latencyMs >= 0 && options.latencyMs <= 1000, "latency in range");
    FUZZ_CHECK(m.inertia > 0 && m.inertia <= 1 && m.viscousFriction >= 0 &&
                   m.viscousFriction <= 1 && m.coulombFriction >= 0 && m.coulombFriction <= 10 &&
                   m.load >= -10 && m.load <= 10 && m.torqueConstant > 0 &&
                   m.torqueConstant <= 10 && m.gainScale > 0 && m.gainScale <= 100,
               "mechanics in range");
    for (const auto& limit : options.writeLimits) {
        FUZZ_CHECK(ferroxFactoryParameters().count(limit.first), "clamp of a drive parameter");
    }
    SimOptions again = options;
    FUZZ_CHECK(parseSimOptions(text, again, error), "accepted again");
    FUZZ_CHECK(comparable(again) == comparable(options), "read again, the same options");
    return 0;
}
