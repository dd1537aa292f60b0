// Instrument envelopes and auto-vibrato, advanced once per tick for each channel.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "player/channel.h"

namespace vorn3 {

// Advances one envelope of the channel's note by a tick; `flag` is the kUpdate bit
// that hands its output to the voice.
void envelopeStep(Channel& channel, EnvelopeState& state, const Envelope& envelope,
                  std::uint8_t flag);
// Moves the volume envelope to `tick` ticks after the note start (effect L).
void setVolumeEnvelopePosition(Channel& channel, const Envelope& envelope, std::int32_t tick);
// Adds the instrument's auto-vibrato to the channel's periodDelta.
void autoVibratoStep(Channel& channel, const Instrument& instrument);

}  // namespace vorn3
