// Pitch arithmetic: notes, finetunes, linear and Amiga periods and the rates they play at.
#pragma once

#include <cstdint>

#include "module/format_rules.h"

namespace vorn3 {

inline constexpr std::int32_t kFinetuneSteps = 128;  // per semitone
inline constexpr std::int32_t kLinearPeriodsPerNote = 64;
inline constexpr std::int32_t kLinearBasePeriod = 7680;  // of note 0, in 1/64 semitone
inline constexpr std::int32_t kMiddlePeriod = 4608;      // C-4, which plays at kMiddleFrequency
inline constexpr double kMiddleFrequency = 8363;         // Hz

// The tuning, in finetune steps from C-4 at 8363 Hz, of a sample that plays C-4 at `hz`.
std::int32_t tuningOfRate(double hz);
// The Amiga period of 0-based note n with finetune f (1/128 semitone).
std::int32_t amigaPeriod(std::int32_t note, std::int32_t finetune);
// The Amiga period of 0-based note n with finetune f under a format's rules: from its
// period table where it has one for the note.
std::int32_t notePeriod(const FormatRules& rules, std::int32_t note, std::int32_t finetune);
// Of the Amiga periods of the notes with finetune f, the one nearest `period` in pitch.
std::int32_t nearestNotePeriod(const FormatRules& rules, std::int32_t period,
                               std::int32_t finetune);
// Hz of a linear period `periods` 1/64 semitones above C-4.
double linearHz(std::int32_t periodsAboveMiddle);

}  // namespace vorn3
