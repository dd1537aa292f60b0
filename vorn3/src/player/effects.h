// The effect-column and volume-column commands, run by the tick engine for each channel
// on the row tick and on the ticks after it.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "player/channel.h"
#include "player/song.h"

namespace vorn3 {

// Effect numbers the tick engine itself looks at.
inline constexpr std::uint8_t kEffectTonePortamento = 3;
inline constexpr std::uint8_t kEffectTonePortamentoSlide = 5;
inline constexpr std::uint8_t kEffectKeyOff = 20;
inline constexpr std::uint8_t kEffectExtended = 14;
// XM's own commands are 0 to 35; an XM file's numbers past them play nothing.
inline constexpr std::uint8_t kXmEffectCount = 36;
// Effects of the other formats, numbered past the XM ones.
inline constexpr std::uint8_t kEffectTremolo = kXmEffectCount;
inline constexpr std::uint8_t kEffectSpeed = 37;  // ticks per row, whatever the value
inline constexpr std::uint8_t kEffectSampleOffset = 9;
inline constexpr std::uint8_t kEffectVolumeSlide = 10;
inline constexpr std::uint8_t kEffectS3mPortamentoDown = 39;
inline constexpr std::uint8_t kEffectS3mPortamentoUp = 40;
inline constexpr std::uint8_t kEffectFineVibrato = 41;
inline constexpr std::uint8_t kEffectS3mExtended = 42;  // Sxy, run as the Exy it names
// Tunes the row's note in place of its sample's relative note and finetune; parameter:
// the signed tuning, in finetune steps from C-4 at 8363 Hz.
inline constexpr std::uint8_t kEffectSetFinetune = 43;
// A cell without a command where effect 0 with parameter 0 means an arpeggio.
inline constexpr std::uint8_t kEffectNone = 255;

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

void volumeColumnRow(CellTick& cell);
void volumeColumnTick(CellTick& cell);
void effectRow(CellTick& cell, RowTick& row);
void effectTick(CellTick& cell);

}  // namespace vorn3
