#include "module/pitch.h"

#include <cmath>

namespace vorn3 {
namespace {

constexpr float kOctavesPerPeriod = 0.0013020834f;  // 1/768
constexpr double kAmigaScale = 13.375;              // Amiga period of note 132
constexpr std::int32_t kAmigaTopNote = 132;
constexpr float kOctavesPerNote = 0.083333336f;  // 1/12
constexpr double kSemitonesPerOctave = 12;
constexpr double kOctavesPerFinetune = 1.0 / (kSemitonesPerOctave * kFinetuneSteps);
constexpr std::int32_t kPeriodsPerTablePeriod = 4;  // the engine counts quarter periods

}  // namespace

std::int32_t amigaPeriod(std::int32_t note, std::int32_t finetune) {
    const auto periodOf = [](std::int32_t n) {
        const double octaves = static_cast<double>(kAmigaTopNote - n) * kOctavesPerNote;
        return static_cast<std::int32_t>(kAmigaScale * std::pow(2.0, octaves));
    };
    const std::int32_t base = periodOf(note);
    if (finetune >= 0 || note == 0)
        return base - (base - periodOf(note + 1)) * finetune / kFinetuneSteps;
    return base + (periodOf(note - 1) - base) * -finetune / kFinetuneSteps;
}

std::int32_t tuningOfRate(double hz) {
    return static_cast<std::int32_t>(
        std::lround(kSemitonesPerOctave * std::log2(hz / kMiddleFrequency) * kFinetuneSteps));
}

std::int32_t notePeriod(const FormatRules& rules, std::int32_t note, std::int32_t finetune) {
    const std::int32_t index = note - kTableFirstNote;
    if (!rules.periodTable || index < 0 || index >= kTableNotes) {
        return amigaPeriod(note, finetune);
    }
    const double period = rules.periodTable[index] * kPeriodsPerTablePeriod *
                          std::pow(2.0, -finetune * kOctavesPerFinetune);
    return static_cast<std::int32_t>(std::lround(period));
}

std::int32_t nearestNotePeriod(const FormatRules& rules, std::int32_t period,
                               std::int32_t finetune) {
    // Periods fall as notes rise: find the lowest note at or above the period's pitch.
    std::int32_t low = 0;
    std::int32_t high = kAmigaTopNote;
    while (low < high) {
        const std::int32_t middle = (low + high) / 2;
        if (notePeriod(rules, middle, finetune) > period) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    const std::int32_t above = notePeriod(rules, low, finetune);
    if (low == 0) return above;
    const std::int32_t below = notePeriod(rules, low - 1, finetune);
    // Nearest in pitch: below / period < period / above.
    const std::int64_t square = std::int64_t{period} * period;
    return std::int64_t{below} * above < square ? below : above;
}

double linearHz(std::int32_t periodsAboveMiddle) {
    return kMiddleFrequency *
           std::pow(2.0, static_cast<double>(periodsAboveMiddle) * kOctavesPerPeriod);
}

}  // namespace vorn3
