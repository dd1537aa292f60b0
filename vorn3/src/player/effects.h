// The effect-column and volume-column commands, run by the tick engine for each channel
// on the row tick and on the ticks after it.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "player/channel.h"
#include "player/song.h"

namespace vorn3 {

// One channel's cell on one tick, with the instrument and sample resolved for it.
struct CellTick {
    Song& song;
    Channel& channel;
    const PatternCell& cell;
    const Instrument& instrument;
    const Sample& sample;
};

// What a row tick keeps besides the channel: across the row's channels, and from
// before the row.
struct RowTick {
    bool positionJumpSeen;  // an earlier channel of this row jumped
    // The channel's values before its cell was read; a delayed note goes back to them.
    std::int32_t volumeBefore;
    std::int32_t periodBefore;
    std::int32_t panningBefore;
};

// Starts the channel's volume, panning (where the format pans by instrument and sample)
// and, with restartEnvelopes, its envelopes and fadeout afresh for a note of `sample`.
void resetChannel(Channel& channel, const Instrument& instrument, const Sample& sample,
                  const FormatRules& rules, bool restartEnvelopes);
// -64..63, the next of the song's random sequence.
std::int8_t nextRandom(Song& song);
// The random variations of its instrument's volume and panning, drawn for a new note, and
// where its own random sequence starts.
void varyNote(Song& song, Note& note, const Instrument& instrument);
// Starts the playing note's envelopes, fadeout and auto-vibrato afresh, released no more.
void restartNote(Channel& channel, const Instrument& instrument);
// The filter settings the instrument gives each note it starts.
void takeInstrumentFilter(Note& note, const Instrument& instrument);

void volumeColumnRow(CellTick& cell);
void volumeColumnTick(CellTick& cell);
void effectRow(CellTick& cell, RowTick& row);
void effectTick(CellTick& cell);

}  // namespace vorn3
