#include "step_capture.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace response {

namespace {
constexpr int kSlots = 3;

// Locale-independent: the program's locale may use a decimal comma, a CSV file may not.
void appendFixed(std::string& text, double value, int decimals) {
    // A value that rounds to zero is written as zero, never as "-0.000".
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) {
        value = 0.0;
    }
    char buffer[64];
    auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals)
            .ptr;
    text.append(buffer, end);
}
}  // namespace

std::vector<CapturePoint> capturePoints(const float* samples, int timePoints, float currentScale) {
    const float divisor = currentScale == 0.0f ? 1.0f : currentScale;
    std::vector<CapturePoint> points(size_t(std::max(0, timePoints)));
    for (size_t t = 0; t < points.size(); ++t) {
        const float* slot = samples + t * kSlots;
        points[t] = CapturePoint{slot[0] / divisor, slot[1] / divisor, slot[2]};
    }
    return points;
}

double sampleTimeMs(int index, int timePoints, int spanMs) {
    return timePoints > 0 ? double(index) * spanMs / timePoints : 0.0;
}

bool samplesSaturated(const float* samples, int count) {
    return std::any_of(samples, samples + std::max(0, count),
                       [](float sample) { return sample >= 32767.0f || sample <= -32768.0f; });
}

std::string figuresText(uint16_t peakError, uint16_t undershoot, uint16_t settlingTimeMs) {
    const auto counts = [](uint16_t figure) {
        return std::to_string(figure) + " counts" +
               (figure == step_response::kSaturatedFigure ? " (saturated)" : "");
    };
    const std::string settling = settlingTimeMs > step_response::kLongestSettlingTime
                                     ? ">" + std::to_string(step_response::kShownForLongSettling)
                                     : std::to_string(settlingTimeMs);
    return "peak error " + counts(peakError) + ", undershoot " + counts(undershoot) +
           ", settling time " + settling + " ms";
}

std::string saturatedFigures(uint16_t peakError, uint16_t undershoot, bool curvesSaturated) {
    std::string named;
    const auto add = [&named](bool saturated, const char* figure) {
        if (saturated) {
            named += (named.empty() ? "" : ", ") + std::string(figure);
        }
    };
    add(peakError == step_response::kSaturatedFigure, "peak error");
    add(undershoot == step_response::kSaturatedFigure, "undershoot");
    add(curvesSaturated, "curves");
    return named;
}

std::string stepCaptureCsv(const StepCapture& c) {
    std::string text = "# Axis " + std::to_string(c.axis + 1) + ", span " +
                       std::to_string(c.spanMs) + " ms, Kp " + std::to_string(c.gainP) + ", Ki " +
                       std::to_string(c.gainI) + ", Kd " + std::to_string(c.gainD) +
                       ", peak current " + std::to_string(c.peakCurrentMa) +
                       " mA, continuous current " + std::to_string(c.continuousCurrentMa) + " mA, ";
    if (c.figuresRead) {
        text += figuresText(c.peakError, c.undershoot, c.settlingTimeMs) +
                (c.curvesSaturated ? ", curves saturated\n" : "\n");
    } else {
        text += "figures not read\n";
    }
    text += "time_ms,target_A,achieved_A,error_counts\n";
    const int count = int(c.points.size());
    for (int t = 0; t < count; ++t) {
        const CapturePoint& point = c.points[size_t(t)];
        appendFixed(text, sampleTimeMs(t, count, c.spanMs), 2);
        text += ',';
        appendFixed(text, point.targetAmps, 3);
        text += ',';
        appendFixed(text, point.achievedAmps, 3);
        text += ',';
        text += std::to_string(std::lround(point.errorCounts));
        text += '\n';
    }
    return text;
}

}  // namespace response
