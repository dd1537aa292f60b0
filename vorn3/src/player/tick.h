// The tick engine: called once per tick by the mixing side, it processes a new row on
// the row tick, runs the effects on the other ticks and hands each channel's period,
// volume and panning to its voice.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "player/channel.h"
#include "player/song.h"

namespace vorn3 {

inline constexpr std::int32_t kMaxVolume = 64;
inline constexpr std::int32_t kFinetuneSteps = 128;  // per semitone

void songTick(Song& song);
void processRow(Song& song);
void processTickEffects(Song& song);

// Starts the channel's volume, panning (where the format pans by sample), envelopes and
// fadeout afresh for a note of `sample`.
void resetChannel(Channel& channel, const Sample& sample, const FormatRules& rules);
// The tuning, in finetune steps from C-4 at 8363 Hz, of a sample that plays C-4 at `hz`.
std::int32_t tuningOfRate(double hz);
// The Amiga period of 0-based note n with finetune f (1/128 semitone).
std::int32_t amigaPeriod(std::int32_t note, std::int32_t finetune);
// The Amiga period of 0-based note n with finetune f in the song's format: from its
// period table where it has one for the note.
std::int32_t notePeriod(const Song& song, std::int32_t note, std::int32_t finetune);
// Of the Amiga periods of the notes with finetune f, the one nearest `period` in pitch.
std::int32_t nearestNotePeriod(const Song& song, std::int32_t period, std::int32_t finetune);
// Hands the voice what the channel's updateFlags ask for.
void updateVoice(Channel& channel, const Sample& sample, const Song& song);

}  // namespace vorn3
