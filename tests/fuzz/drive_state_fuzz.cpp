// The simulated drive's state file of any bytes: refused with a reason, or a state whose text,
// as the drive writes it, reads back to the same state and writes again to the same text.
#include "drive_state.h"
#include "fuzz_check.h"

using namespace drive_sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Kept from input to input, as a reader of many files would: each parse must replace all of
    // it, and a whole flash is not taken from the allocator afresh for every input.
    static DriveState state;
    static DriveState again;
    std::string why;
    if (!parseDriveState(std::string(reinterpret_cast<const char*>(data), size), state, why)) {
        FUZZ_CHECK(!why.empty(), "a refusal names its reason");
        return 0;
    }
    const std::string text = driveStateText(state);
    FUZZ_CHECK(parseDriveState(text, again, why) && driveStateText(again) == text &&
                   again.storedParamChanges == state.storedParamChanges &&
                   again.flash == state.flash,
               "the written state reads back to the same state and text");
    return 0;
}
