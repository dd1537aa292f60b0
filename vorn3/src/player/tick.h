// The tick engine: called once per tick by the mixing side, it processes a new row on
// the row tick, runs the effects on the other ticks and hands each channel's period,
// volume and panning to its voice.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "module/pitch.h"
#include "player/channel.h"
#include "player/song.h"

namespace vorn3 {

void songTick(Song& song);
void processRow(Song& song);
void processTickEffects(Song& song);

// Cuts, releases or fades the notes the channel let go of.
void actOnLetGoNotes(Song& song, const Channel& channel, DuplicateAction action);

// Silences the note's voices.
void stopNote(Mixer& mixer, const Note& note);
// Hands the note's voices what the output's flags ask for.
void updateVoice(Song& song, Note& note, const NoteOutput& output, const Sample& sample);

}  // namespace vorn3
