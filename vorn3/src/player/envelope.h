// Instrument envelopes and auto-vibrato, advanced once per tick for each note.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "player/note.h"

namespace vorn3 {

// Advances one envelope of a note by a tick; its sustain point holds it until key off.
// byTick: see FormatRules::envelopesByTick.
void envelopeStep(EnvelopeState& state, const Envelope& envelope, bool keyOff, bool byTick);
// Moves a volume envelope to `tick` ticks after the note start (effect L).
void setVolumeEnvelopePosition(EnvelopeState& state, const Envelope& envelope, std::int32_t tick);
// The period change the instrument's auto-vibrato gives the note this tick; advances it.
std::int32_t autoVibratoStep(Note& note, const AutoVibrato& vibrato);

}  // namespace vorn3
