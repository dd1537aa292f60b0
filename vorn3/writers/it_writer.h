// Builds IT modules from code, laid out as the tracker's technical text has them. Every
// value is written as given, so that a caller can make well-formed modules as well as
// exactly the odd or damaged one a test needs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace it {

inline constexpr std::int32_t kChannels = 64;
inline constexpr std::int32_t kNotes = 120;
inline constexpr std::int32_t kEnvelopeNodes = 25;
inline constexpr std::uint8_t kNoteOff = 255;
inline constexpr std::uint8_t kNoteCut = 254;
inline constexpr std::uint8_t kEndOfSong = 255;  // order
inline constexpr std::uint16_t kFirstNewInstrumentVersion = 0x0200;

// Bits of Module::flags.
inline constexpr std::uint16_t kStereo = 1;
inline constexpr std::uint16_t kUseInstruments = 4;
inline constexpr std::uint16_t kLinearSlides = 8;
inline constexpr std::uint16_t kOldEffects = 16;
inline constexpr std::uint16_t kLinkedPortamento = 32;

// Bits of Sample::loopFlags.
inline constexpr std::uint8_t kLoop = 16;
inline constexpr std::uint8_t kSustainLoop = 32;
inline constexpr std::uint8_t kPingPongLoop = 64;
inline constexpr std::uint8_t kPingPongSustainLoop = 128;

struct Effect {
    std::uint8_t command = 0;  // A = 1 .. Z = 26
    std::uint8_t parameter = 0;
    bool operator==(const Effect&) const = default;
};

// What a cell holds; the writer packs it with IT's memory of each channel's last values.
struct Cell {
    std::optional<std::uint8_t> note{};        // 0..119 (C-0 .. B-9), kNoteCut, kNoteOff, else fade
    std::optional<std::uint8_t> instrument{};  // 1-based
    std::optional<std::uint8_t> volume{};      // volume-column byte
    std::optional<Effect> effect{};
};

struct Pattern {
    std::uint16_t rows = 64;
    std::vector<Cell> cells{};  // rows × Module::channels, row by row; missing cells are empty
    std::optional<std::vector<std::uint8_t>> packed{};  // default: packed from cells
};

struct EnvelopeNode {
    std::int8_t value = 0;  // volume 0..64; panning and pitch -32..32
    std::uint16_t tick = 0;
};

struct Envelope {
    std::uint8_t flags = 0;             // 1 on, 2 loop, 4 sustain loop, 128 filter (pitch envelope)
    std::vector<EnvelopeNode> nodes{};  // the first kEnvelopeNodes are written
    std::optional<std::uint8_t> storedNodeCount{};  // default: nodes.size()
    std::uint8_t loopBegin = 0;
    std::uint8_t loopEnd = 0;
    std::uint8_t sustainBegin = 0;
    std::uint8_t sustainEnd = 0;
};

struct KeyboardEntry {
    std::uint8_t note = 0;
    std::uint8_t sample = 0;  // 1-based; 0 none
};
using Keyboard = std::array<KeyboardEntry, kNotes>;

// Each note plays itself with `sample`.
constexpr Keyboard keyboardOf(std::uint8_t sample) {
    Keyboard keyboard{};
    for (std::size_t n = 0; n < keyboard.size(); ++n)
        keyboard[n] = {static_cast<std::uint8_t>(n), sample};
    return keyboard;
}

// Written in the layout Module::compatibleVersion selects. The layout before 2.00 keeps
// the volume envelope only, ticks cut to a byte, and no pitch-pan, random or filter fields.
struct Instrument {
    std::string fileName{};
    std::string name{};
    std::uint8_t newNoteAction = 0;  // 0 cut, 1 continue, 2 note off, 3 fade
    std::uint8_t duplicateCheckType = 0;
    std::uint8_t duplicateCheckAction = 0;
    std::uint16_t fadeout = 0;
    std::int8_t pitchPanSeparation = 0;
    std::uint8_t pitchPanCentre = 60;  // note
    std::uint8_t globalVolume = 128;
    std::uint8_t defaultPan = 32 | 128;  // 0..64; 128: not used
    std::uint8_t randomVolume = 0;
    std::uint8_t randomPan = 0;
    std::uint16_t trackerVersion = 0x0214;
    std::uint8_t sampleCount = 0;  // as stored; no tracker reads it
    std::uint8_t filterCutoff = 0;
    std::uint8_t filterResonance = 0;
    std::uint8_t midiChannel = 0;
    std::uint8_t midiProgram = 0;
    std::uint16_t midiBank = 0;
    Keyboard keyboard = keyboardOf(0);
    Envelope volumeEnvelope{};
    Envelope panningEnvelope{};
    Envelope pitchEnvelope{};
};

enum class Coding : std::uint8_t { signedPlain, unsignedPlain, it214, it215 };

struct Sample {
    std::string fileName{};
    std::string name{};
    std::vector<std::int16_t> frames{};       // 8-bit samples keep the high byte of each frame
    std::vector<std::int16_t> rightFrames{};  // stereo when not empty; as long as frames
    bool sixteenBit = false;
    Coding coding = Coding::signedPlain;
    std::uint8_t loopFlags = 0;  // kLoop, kSustainLoop, kPingPong bits
    std::uint8_t globalVolume = 64;
    std::uint8_t volume = 64;
    std::uint8_t defaultPan = 32;  // 0..64; 128: used
    std::uint32_t loopBegin = 0;   // frames
    std::uint32_t loopEnd = 0;
    std::uint32_t c5Speed = 8363;
    std::uint32_t sustainBegin = 0;
    std::uint32_t sustainEnd = 0;
    std::uint8_t vibratoSpeed = 0;
    std::uint8_t vibratoDepth = 0;
    std::uint8_t vibratoRate = 0;
    std::uint8_t vibratoType = 0;
    // Defaults: from the frames, the coding and the place the data is written.
    std::optional<std::uint8_t> storedFlags{};
    std::optional<std::uint8_t> storedConvert{};
    std::optional<std::uint32_t> storedLength{};  // frames
    std::optional<std::uint32_t> samplePointer{};
};

constexpr std::array<std::uint8_t, kChannels> everyChannel(std::uint8_t value) {
    std::array<std::uint8_t, kChannels> values{};
    values.fill(value);
    return values;
}

// The MIDI texts a module may carry, each written in 32 bytes: its Zxx macros among them.
struct MidiConfiguration {
    std::array<std::string, 9> global{};
    std::array<std::string, 16> parametered{};  // SF0..SFF
    std::array<std::string, 128> fixed{};       // Z80..ZFF
};
inline constexpr std::uint16_t kSpecialEditHistory = 2;
inline constexpr std::uint16_t kSpecialMidiConfiguration = 8;

struct Module {
    std::string name{};
    std::uint8_t highlightMinor = 4;  // rows
    std::uint8_t highlightMajor = 16;
    std::uint16_t createdWith = 0x0214;
    std::uint16_t compatibleVersion = 0x0214;
    std::uint16_t flags = kStereo;
    std::optional<std::uint16_t> special{};  // default: 1 with a message, else 0
    std::uint8_t globalVolume = 128;
    std::uint8_t mixVolume = 48;
    std::uint8_t speed = 6;
    std::uint8_t tempo = 125;
    std::uint8_t panSeparation = 128;
    std::uint8_t pitchWheelDepth = 0;
    std::string message{};  // lines end in '\r'; written with a closing zero byte
    std::array<std::uint8_t, kChannels> channelPan = everyChannel(32);  // 0..64; +128 muted
    std::array<std::uint8_t, kChannels> channelVolume = everyChannel(64);
    std::int32_t channels = 4;  // of each pattern row in cells, up to kChannels
    std::vector<std::uint8_t> orders = {0, kEndOfSong};
    std::vector<Instrument> instruments{};
    std::vector<Sample> samples{};
    std::vector<Pattern> patterns{};
    // Written after the offsets where `special` says so: the edit history's entries (8
    // zero bytes each), then the MIDI configuration.
    std::uint16_t editHistoryEntries = 0;
    MidiConfiguration midi{};
};

std::vector<std::uint8_t> writeModule(const Module& module);

// The frames in IT 2.14 compression, or 2.15's that stores second differences: blocks of
// a 16-bit byte count and the bits of up to 0x8000 (8-bit) or 0x4000 (16-bit) frames.
std::vector<std::uint8_t> compressSample(const std::vector<std::int16_t>& frames, bool sixteenBit,
                                         bool it215);

}  // namespace it
