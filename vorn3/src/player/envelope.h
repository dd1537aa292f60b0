// Instrument envelopes and auto-vibrato, advanced once per tick for each note.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "player/note.h"

namespace vorn3 {

// Advance one envelope of a note by a tick; its sustain point holds it until key off.
// The two readings of FormatRules::envelopesByTick: the value one tick further on, and the
// value at the tick.
void envelopeStepAfter(EnvelopeState& state, const Envelope& envelope, bool keyOff);
void envelopeStepAt(EnvelopeState& state, const Envelope& envelope, bool keyOff);

inline void envelopeStep(EnvelopeState& state, const Envelope& envelope, bool keyOff, bool byTick) {
    if (byTick) {
        envelopeStepAt(state, envelope, keyOff);
    } else {
        envelopeStepAfter(state, envelope, keyOff);
    }
}
// Moves a volume envelope to `tick` ticks after the note start (effect L).
void setVolumeEnvelopePosition(EnvelopeState& state, const Envelope& envelope, std::int32_t tick);
// The period change the instrument's auto-vibrato gives the note this tick; advances it.
std::int32_t autoVibratoStep(Note& note, const AutoVibrato& vibrato);

}  // namespace vorn3
