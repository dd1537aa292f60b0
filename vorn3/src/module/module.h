// A module as loaded: everything its file says, pattern cells unpacked, samples widened
// to 16-bit frames with a guard frame after the played part. Read-only once loaded:
// playback keeps its own state beside it, and several songs may play one module.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "mixer/sample.h"
#include "module/commands.h"
#include "module/format_rules.h"

namespace vorn3 {

inline constexpr std::uint8_t kKeyOff = 255;     // note value of a key-off cell
inline constexpr std::uint8_t kNoteCut = 254;    // note value of a cell that stops the note
inline constexpr std::uint8_t kNoteFade = 253;   // note value of a cell that fades the note out
inline constexpr std::int32_t kNoteCount = 120;  // C-0 .. B-9
inline constexpr std::int32_t kMaxOrders = 256;
inline constexpr std::int32_t kMaxPatternRows = 256;
inline constexpr std::int32_t kMaxChannels = 256;
inline constexpr std::int32_t kMaxVolume = 64;  // of samples, channels and the song
inline constexpr std::uint8_t kFullChannelVolume = 64;
inline constexpr std::int32_t kMaxEnvelopePoints = 25;
// Room beyond the loaded points, so that a look one or two points past the last
// loaded one stays inside the record.
inline constexpr std::int32_t kEnvelopeCapacity = kMaxEnvelopePoints + 2;
// Bit of Module::flags: periods in 1/64 semitone instead of Amiga periods.
inline constexpr std::int16_t kLinearFrequencies = 1;

struct PatternCell {
    std::uint8_t note;        // 0 none, 1..kNoteCount, kKeyOff, kNoteCut, kNoteFade
    std::uint8_t instrument;  // 0 none, 1..128
    VolumeCommand volume;     // of the volume column
    std::uint8_t volumeValue;
    Command command;
    std::uint8_t parameter;
};
static_assert(sizeof(PatternCell) == 6);

struct PatternSlot {
    std::int32_t rows;   // 1..256 once loaded
    PatternCell* cells;  // rows × channelCount, row by row
};

struct EnvelopePoint {
    std::uint16_t tick;   // ticks from the note start, never decreasing
    std::uint16_t value;  // 0..64; panning has its centre at 32
};

// Bits of Envelope::type.
inline constexpr std::uint8_t kEnvelopeOn = 1;
inline constexpr std::uint8_t kEnvelopeSustain = 2;
inline constexpr std::uint8_t kEnvelopeLoop = 4;
inline constexpr std::uint8_t kEnvelopeFilter = 8;  // the pitch envelope drives the filter
// A note of the instrument after another of it goes on from where that one's stood.
inline constexpr std::uint8_t kEnvelopeCarry = 16;

struct Envelope {
    std::array<EnvelopePoint, kEnvelopeCapacity> points;
    // Once loaded, every index below is below pointCount or its bit in type is clear.
    std::uint8_t pointCount;  // 0..kMaxEnvelopePoints
    // Until key off, the envelope holds at the sustain point or, where the end differs,
    // loops from it to the end.
    std::uint8_t sustainPoint;
    std::uint8_t sustainEnd;
    std::uint8_t loopStart;
    std::uint8_t loopEnd;
    std::uint8_t type;  // kEnvelope bits; 0 with fewer than 2 points
};

inline constexpr std::int32_t kNameBytes = 26;  // of instrument and sample names, at most
using Name = std::array<char, kNameBytes + 1>;  // ends in a zero byte

inline constexpr std::int16_t kNoSample = -1;

inline constexpr std::uint8_t kFullInstrumentGlobalVolume = 128;

// Which notes a channel let go of count as the same as its new one, and what becomes of
// them then.
enum class DuplicateCheck : std::uint8_t { off, note, sample, instrument };
enum class DuplicateAction : std::uint8_t { cut, noteOff, fade };

// What becomes of an instrument's note when its channel starts another: cut, or let go to
// play on by itself, as it is, released or fading out.
enum class NewNoteAction : std::uint8_t { cut, continuePlaying, noteOff, fade };

// What a filter setting of an instrument or a macro leaves alone.
inline constexpr std::int16_t kKeepFilter = -1;
inline constexpr std::uint8_t kOpenCutoff = 127;  // with no resonance: no filter

// What a Zxx macro sets: the playing note's filter cutoff or resonance, to its value or,
// for the parametered ones, to Zxx's parameter.
enum class MacroTarget : std::uint8_t { none, cutoff, resonance };
struct Macro {
    MacroTarget target;
    bool takesParameter;
    std::uint8_t value;  // 0..127
};
inline constexpr std::int32_t kParameteredMacros = 16;  // chosen by SFx for Z00..Z7F
inline constexpr std::int32_t kFixedMacros = 128;       // of Z80..ZFF
inline constexpr std::uint8_t kFixedMacroFirst = 0x80;

// A vibrato each note of an instrument or sample plays by itself: its depth grows from
// nothing to `depth` over `sweep` ticks.
struct AutoVibrato {
    // 0 sine, 1 square, 2 ramp down, 3 ramp up; 4 ramp down from the peak, 5 square
    // between the peak and nothing, 6 random
    std::uint8_t type;
    std::uint16_t sweep;  // ticks; 0: at full depth at once
    std::uint8_t depth;   // 1/64 semitone at the wave's peak, of 64
    std::uint8_t rate;    // 1/256 cycle per tick
};

struct Instrument {
    // The samples of this instrument, samples[firstSample] on, in the module's list.
    std::int32_t firstSample;
    std::int32_t sampleCount;
    std::array<std::int16_t, kNoteCount> noteSamples;  // module sample per note, or kNoSample
    std::array<std::uint8_t, kNoteCount> noteNotes;    // the note each note plays, 0-based
    Envelope volumeEnvelope;
    Envelope panningEnvelope;
    Envelope pitchEnvelope;  // or, with kEnvelopeFilter, the filter's
    AutoVibrato vibrato;     // of its notes, where the format's samples have none
    std::int32_t fadeout;    // per tick, of 65536; twice the file's value
    NewNoteAction newNoteAction;
    DuplicateCheck duplicateCheck;
    DuplicateAction duplicateAction;
    // Its note fades out where the volume envelope ends, and a key off without a volume
    // envelope fades it rather than silencing it at once.
    bool fadesOut;
    std::uint8_t globalVolume;  // 0..kFullInstrumentGlobalVolume, of every note of it
    std::int32_t panning;       // 0 left .. 255 right; kNoPanning: the channel's stays
    // Each semitone from the centre note (0-based) moves a note's panning by this many
    // 1/8 of a 64th of the way across; -32..32.
    std::uint8_t pitchPanCentre;
    std::int8_t pitchPanSeparation;
    // Each note's volume varies at random by up to this percent, its panning by up to
    // this many of 64 steps either way.
    std::uint8_t randomVolume;   // 0..100
    std::uint8_t randomPanning;  // 0..64
    // The filter each of its notes starts with, 0..127; or kKeepFilter: the channel's.
    std::int16_t filterCutoff;
    std::int16_t filterResonance;
    Name name;
};

struct Module {
    // Songs playing it, and the loader while it reads; the last to let go frees it.
    mutable std::atomic<std::int32_t> references;
    PatternSlot* patterns;
    Instrument* instruments;
    Sample* samples;  // instrument by instrument
    // The right channel of each stereo sample, whose left is in samples; no data for the
    // others.
    Sample* rightChannels;
    // Each sample's frames with its sustain loop, which a note plays until its key is
    // released; the data is the sample's. No data for samples without one.
    Sample* sustainLoops;
    Name* sampleNames;
    AutoVibrato* sampleVibratos;  // of each sample, where the format's rules say they vibrate
    std::int32_t sampleCount;
    std::int16_t songLength;        // orders in the list, 1..kMaxOrders once loaded
    std::int16_t restartPosition;   // order index, below songLength once loaded
    std::int16_t channelCount;      // 1..kMaxChannels once loaded
    std::int32_t usedPatternCount;  // 1 + highest pattern number among the played orders
    std::int32_t patternSlotCount;  // 1..256 once loaded
    std::int16_t instrumentCount;   // 0..128 once loaded
    std::int16_t flags;             // kLinearFrequencies
    std::int16_t defaultTempo;      // ticks per row
    std::int16_t defaultBpm;        // beats per minute, 32..255 once loaded
    std::array<std::uint8_t, kMaxOrders> orderTable;  // pattern number per order index
    // A separator follows the order: playback coming to it goes back as at the list's end.
    std::array<bool, kMaxOrders> sectionEnds;
    std::uint8_t defaultGlobalVolume;  // 0..64
    FormatRules rules;
    // Panning of each channel at the start: 0 left .. 255 right.
    std::array<std::uint8_t, kMaxChannels> channelPannings;
    // Every voice's volume × this: a master volume the file sets over its tracker's default.
    double masterVolumeScale;
    // Each channel's volume, 0..kFullChannelVolume, over every note it plays.
    std::array<std::uint8_t, kMaxChannels> channelVolumes;
    std::array<bool, kMaxChannels> surroundChannels;  // play around the listener at the start
    std::array<Macro, kParameteredMacros> parameteredMacros;
    std::array<Macro, kFixedMacros> fixedMacros;
    char* message;  // the song's message, lines ended by '\n' and the whole by a zero; or null
    std::array<char, 32> format;   // the format's name and version; ends in a zero byte
    std::array<char, 29> title;    // ends in a zero byte
    std::array<char, 29> tracker;  // that wrote the file
};

// Shared stand-ins for missing samples and instruments; never freed, never written.
extern const Sample emptySample;
extern const Instrument emptyInstrument;

// A sample as a module's list starts it: at full global volume, panned by the channel.
Sample newSample();
// An instrument mapping every note to itself, at full global volume, with no samples.
Instrument newInstrument();

// A new module with nothing loaded and one reference; null when memory runs out.
Module* moduleCreate();
// One more holder of the module.
void moduleRetain(const Module& module);
// Lets go of one reference: the last frees the module with everything it owns. Nothing
// for null.
void moduleRelease(const Module* module);

// The sample the instrument plays for 0-based note n; emptySample where it has none.
inline const Sample& sampleOfNote(const Module& module, const Instrument& instrument,
                                  std::int32_t n) {
    const std::int16_t index = instrument.noteSamples[n];
    return index == kNoSample ? emptySample : module.samples[index];
}
// Whether playback after the order goes back as at the end of the list.
inline bool lastOfSection(const Module& module, std::int32_t order) {
    return order + 1 >= module.songLength || module.sectionEnds[order];
}
// The place of a sample in the module's list; -1 for a stand-in.
std::int32_t sampleIndex(const Module& module, const Sample& sample);
// The right channel of a stereo sample; null for a mono one.
const Sample* rightChannelOf(const Module& module, const Sample& sample);
// The sample with its sustain loop; null for one without.
const Sample* sustainLoopOf(const Module& module, const Sample& sample);

// Room for `count` more samples at the end of the list, zeroed with their right channels
// and names; their first index, or -1 when memory runs out.
std::int32_t appendSamples(Module& module, std::int32_t count);
// Instruments of one sample each, with every note mapped to it, for formats without
// instruments; false when memory runs out.
bool allocateSampleInstruments(Module& module);
// Allocates the pattern slots the order table needs with `rows` rows each; false when
// memory runs out.
bool allocatePatterns(Module& module, std::int32_t storedPatterns, std::int32_t rows);
// Sample frames with a zero frame before the first and kSpareFrames after the last.
std::int16_t* allocateFrames(std::uint32_t length);
void releaseFrames(std::int16_t* data);

}  // namespace vorn3
