#include "step_response.h"

#include <QtGlobal>

namespace response {

namespace {
// The capture divider sets the span: one time point every (divider + 1) x 50 us.
const ResponseSpan kSpans[] = {
    {3, 100, 200, QT_TRANSLATE_NOOP("Morvane", "Time span 100 ms")},
    {19, 300, 0, QT_TRANSLATE_NOOP("Morvane", "Time span 500 ms")},
    {79, 1700, 0, QT_TRANSLATE_NOOP("Morvane", "Time span 2000 ms")},
    {1, 500, 0, nullptr},
};

}  // namespace

const ResponseSpan& chooseResponseSpan(bool span100, bool span500, bool span2000) {
    if (span100) {
        return kSpans[0];
    }
    if (span500) {
        return kSpans[1];
    }
    if (span2000) {
        return kSpans[2];
    }
    return kSpans[3];
}

QString stepResultText(uint16_t peakError, uint16_t undershoot, uint16_t settlingTimeMs) {
    if (settlingTimeMs > step_response::kLongestSettlingTime) {
        return QString::asprintf("Peak error %d counts, undershoot %d counts, settling time>%d ms.",
                                 int(peakError), int(undershoot),
                                 step_response::kShownForLongSettling);
    }
    return QString::asprintf("Peak error %d counts, undershoot %d counts, settling time %d ms.",
                             int(peakError), int(undershoot), int(settlingTimeMs));
}

}  // namespace response
