// Per-channel replay state: what the tick engine, the effects and the envelopes keep
// for one pattern channel between ticks.
#pragma once

#include <array>
#include <cstdint>

#include "module/commands.h"
#include "player/note.h"

namespace vorn3 {

// Channel i plays its notes on voice i of the pool, until it lets one go.
struct Channel {
    std::uint8_t note;         // 0..95, the file's note − 1
    std::uint8_t updateFlags;  // kUpdate bits for this tick
    Note playing;
    // Linear frequencies: 7680 − 64 × note in 1/64 semitone; else an Amiga period.
    std::int32_t period;
    std::int32_t volume;              // 0..64
    std::int32_t panning;             // 0 left .. 255 right, 128 centre
    std::int32_t channelVolume;       // 0..kFullChannelVolume, over its notes' volume
    std::int32_t volumeDelta;         // this tick only (tremor)
    std::int32_t periodDelta;         // this tick only (vibrato, arpeggio, auto-vibrato)
    std::uint8_t instrument;          // 0-based
    std::uint8_t baseNote;            // note + the sample's relative note, 0-based
    std::int32_t notePeriod;          // period of the last note given in a row
    std::int32_t sampleOffsetMemory;  // effect 9
    std::uint8_t portamentoDownMemory;
    std::uint8_t portamentoUpMemory;
    std::uint8_t extraFineDownMemory;
    std::uint8_t extraFineUpMemory;
    std::uint8_t volumeSlideMemory;
    std::uint8_t panningSlideMemory;
    std::uint8_t retriggerVolumeChange;
    std::uint8_t retriggerInterval;  // ticks
    std::int32_t portamentoTarget;   // period
    std::uint8_t portamentoSpeed;    // period units / 4 per tick
    std::int8_t vibratoPosition;     // −32..31, of one cycle
    std::uint8_t vibratoSpeed;
    std::uint8_t vibratoDepth;
    std::uint8_t tremorCounter;  // ticks
    std::uint8_t tremorOnTicks;
    std::uint8_t tremorOffTicks;
    std::int32_t patternLoopRow;
    std::int32_t patternLoopCount;
    // Bits 0-1 vibrato waveform, bit 2 no retrigger; bits 4-6 the same for tremolo.
    std::uint8_t waveControl;
    std::uint8_t fineVolumeSlideMemory;
    std::int8_t tremoloPosition;  // as vibratoPosition
    std::uint8_t tremoloSpeed;
    std::uint8_t tremoloDepth;
    // The parameter each group of FormatRules::memoryGroups last had; a group per
    // command at most.
    std::array<std::uint8_t, kCommandCount + 1> sharedMemories;
    std::uint8_t macroSelect;        // of Module::parameteredMacros
    bool glissando;                  // a tone portamento is heard in semitones
    bool muted;                      // its voice plays at volume 0
    std::int32_t panningDelta;       // this tick only (panbrello)
    std::uint8_t panbrelloPosition;  // 0..255, of one cycle
    std::uint8_t panbrelloSpeed;
    std::uint8_t panbrelloDepth;
    std::uint8_t panbrelloWave;       // 0 sine, 1 ramp down, 2 square, 3 random
    std::uint8_t panbrelloHoldTicks;  // of the random wave's value, before the next
    std::int8_t panbrelloRandom;      // the random wave's value, −64..63
    std::int64_t sampleOffsetHigh;    // frames, added to each sample offset
    bool surround;                    // its notes play around the listener
    std::uint8_t columnSlideMemory;   // of the volume column's volume slides
};

}  // namespace vorn3
