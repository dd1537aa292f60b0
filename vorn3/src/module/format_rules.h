// Where the formats' players differ, as data the tick engine and the effects consult.
#pragma once

#include <array>
#include <climits>
#include <cstdint>

#include "module/commands.h"

namespace vorn3 {

// Hz × Amiga period (in the engine's quarter periods) of the two Amiga clocks.
inline constexpr std::int32_t kNtscClock = 14317056;
inline constexpr std::int32_t kPalClock = 14187580;

// A format's own periods for the notes from kTableFirstNote on (0-based), in whole
// Amiga periods at finetune 0.
inline constexpr std::int32_t kTableFirstNote = 36;
inline constexpr std::int32_t kTableNotes = 36;

// What a sample offset past the end of the sample does: stop the note, start it from the
// start as if there were no offset, or from the end (a loop plays on, else nothing).
enum class OffsetPastEnd : std::uint8_t { stops, ignored, fromEnd };

struct FormatRules {
    std::int32_t amigaClock;          // Hz × Amiga period
    const std::int16_t* periodTable;  // kTableNotes periods; null: all computed
    std::int32_t minPeriod;           // slides up stop at this period
    std::int32_t maxPeriod;           // slides down stop at this period
    bool samplePanning;               // a note's instrument sets the channel's panning
    bool slideMemory;                 // a zero parameter repeats the last of a slide
    // Commands of one group share a remembered parameter per channel, which a zero
    // parameter recalls; group 0 is none.
    std::array<std::uint8_t, kCommandCount> memoryGroups;
    // What an extended command does, by the high nibble of its parameter.
    std::array<ExtendedCommand, 16> extendedCommands;
    // The tunings of ExtendedCommand::noteTuning by the low nibble, in finetune steps
    // from C-4 at 8363 Hz; null where the format has none.
    const std::int8_t* noteTunings;
    // Volume slides xF and Fy slide once on the row tick (x0 and 0y on the others).
    bool fineSlideNibbles;
    bool volumeSlideOnRowTick;  // volume slides x0 and 0y also run on the row tick
    bool cutPastMinPeriod;      // a slide past the shortest period stops the note
    // Sample offset and note delay act only in rows with a note.
    bool noteCommandsNeedNote;
    bool vibratoOnRowTick;         // a vibrato moves the period on the row tick too
    bool vibratoPeriodRisesFirst;  // the pitch falls in a vibrato's first half cycle
    bool tremorTicksAsGiven;       // Ixy is on x ticks and off y, not x + 1 and y + 1
    // A tone portamento on a channel that has played no note starts the note.
    bool portamentoStartsNote;
    // An instrument given with a tone portamento becomes the channel's (its volume at
    // once, its sample at the next note or, with sampleSwap, where the loop ends).
    bool portamentoTakesInstrument;
    // A pattern delay lasts its rows at the speed its row ends with, not the speed the
    // row had when the delay was read.
    bool delayAtRowEndSpeed;
    // An instrument without a note swaps the playing sample for its own where the playing
    // one's loop (or the sample) ends.
    bool sampleSwap;
    bool glissando;    // E3x turns a channel's glissando on and off (Amiga periods only)
    bool breakRowHex;  // a pattern break names its row in hex, not in decimal digits
    std::uint8_t vibratoFineness;  // vibratos are 2^this times finer than XM's
    // An envelope gives its value at the note's tick count (its first point on the note's
    // first tick) and plays a loop's end before it loops, rather than XM's value one tick
    // further on that skips the loop's end.
    bool envelopesByTick;
    bool samplesVibrate;  // a note's auto-vibrato is its sample's, not its instrument's
    OffsetPastEnd offsetPastEnd;
    // A note without an instrument starts its envelopes and fadeout afresh too (its
    // volume stays the channel's).
    bool notesRestartEnvelopes;
    // The volume column's zero slides repeat its last; its pitch slides and portamento
    // share the effect column's E, F and G memory.
    bool volumeColumnMemory;
    bool columnSlidesOnRowTick;  // the volume column's slides also slide on the row tick
    // An instrument given with a tone portamento starts the envelopes afresh.
    bool portamentoRestartsEnvelopes;
};

// Exy of XM.
inline constexpr std::array<ExtendedCommand, 16> kXmExtendedCommands{
    ExtendedCommand::none,
    ExtendedCommand::finePortamentoUp,
    ExtendedCommand::finePortamentoDown,
    ExtendedCommand::glissandoControl,
    ExtendedCommand::vibratoControl,
    ExtendedCommand::sampleFinetune,
    ExtendedCommand::patternLoop,
    ExtendedCommand::tremoloControl,
    ExtendedCommand::setPanningCoarse,
    ExtendedCommand::retriggerNote,
    ExtendedCommand::fineVolumeUp,
    ExtendedCommand::fineVolumeDown,
    ExtendedCommand::noteCut,
    ExtendedCommand::noteDelay,
    ExtendedCommand::patternDelay,
    ExtendedCommand::none};

// XM's rules; the other formats' are these with their differences.
inline constexpr FormatRules kXmRules{.amigaClock = kNtscClock,
                                      .periodTable = nullptr,
                                      .minPeriod = 56,  // below it an Amiga period would reach 0
                                      .maxPeriod = INT32_MAX,
                                      .samplePanning = true,
                                      .slideMemory = true,
                                      .memoryGroups = {},
                                      .extendedCommands = kXmExtendedCommands,
                                      .noteTunings = nullptr,
                                      .fineSlideNibbles = false,
                                      .volumeSlideOnRowTick = false,
                                      .cutPastMinPeriod = false,
                                      .noteCommandsNeedNote = false,
                                      .vibratoOnRowTick = true,
                                      .vibratoPeriodRisesFirst = false,
                                      .tremorTicksAsGiven = false,
                                      .portamentoStartsNote = false,
                                      .portamentoTakesInstrument = false,
                                      .delayAtRowEndSpeed = false,
                                      .sampleSwap = false,
                                      .glissando = false,
                                      .breakRowHex = false,
                                      .vibratoFineness = 0,
                                      .envelopesByTick = false,
                                      .samplesVibrate = false,
                                      .offsetPastEnd = OffsetPastEnd::stops,
                                      .notesRestartEnvelopes = false,
                                      .volumeColumnMemory = false,
                                      .columnSlidesOnRowTick = true,
                                      .portamentoRestartsEnvelopes = true};

inline ExtendedCommand extendedCommand(const FormatRules& rules, std::uint8_t parameter) {
    return rules.extendedCommands[parameter >> 4];
}

}  // namespace vorn3
