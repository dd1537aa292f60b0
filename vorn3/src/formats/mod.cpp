// MOD: 31-sample modules marked at byte 1080 ("M.K." and its kin, and the multichannel
// marks), and the unmarked 15-sample form, recognised only where every header field
// is plausible.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "formats/formats.h"
#include "formats/reader.h"
#include "formats/sample_codecs.h"
#include "module/pitch.h"

namespace vorn3 {
namespace {

constexpr std::int64_t kFileNameBytes = 22;  // of instrument and sample names

constexpr std::int64_t kTitleBytes = 20;
constexpr std::int64_t kSampleHeaderBytes = 30;
constexpr std::int32_t kMarkedSamples = 31;
constexpr std::int32_t kUnmarkedSamples = 15;
constexpr std::int32_t kOrderBytes = 128;
constexpr std::int64_t kMarkOffset = 1080;
constexpr std::int64_t kMarkBytes = 4;
constexpr std::int32_t kRows = 64;
constexpr std::int32_t kCellBytes = 4;
constexpr std::int32_t kMaxChannels = 99;
constexpr std::int32_t kPeriodScale = 4;  // the engine's Amiga periods are in quarters
constexpr std::int32_t kTopNote = 96;     // B-7: periods are matched to notes up to it
// MOD's effects 0..F as the engine's commands; XM's numbers are the same but for 7.
constexpr std::array<Command, 16> kCommandOfEffect{
    Command::arpeggio,           Command::portamentoUp, Command::portamentoDown,
    Command::tonePortamento,     Command::vibrato,      Command::tonePortamentoVolumeSlide,
    Command::vibratoVolumeSlide, Command::tremolo,      Command::setPanning,
    Command::sampleOffset,       Command::volumeSlide,  Command::positionJump,
    Command::setVolume,          Command::patternBreak, Command::extended,
    Command::speedOrTempo};
// A finetune, in the sample header and in E5x, is a signed nibble of 1/8 semitones: in
// the high nibble, it counts 1/128 semitones.
constexpr std::int8_t finetuneOfNibble(std::uint32_t nibble) {
    return static_cast<std::int8_t>(nibble << 4);
}
constexpr std::array<std::int8_t, 16> kTuningOfFinetune = [] {
    std::array<std::int8_t, 16> tunings{};
    for (std::uint32_t y = 0; y < tunings.size(); ++y)
        tunings[y] = finetuneOfNibble(y);
    return tunings;
}();
constexpr std::uint8_t kLeft = 0;
constexpr std::uint8_t kRight = 255;
constexpr std::uint8_t kCentre = 128;
constexpr std::int32_t kDefaultSpeed = 6;
constexpr std::int16_t kDefaultBpm = 125;
// The 15-sample form: the limits of the trackers that wrote it.
constexpr std::int32_t kUnmarkedPatterns = 64;
constexpr std::uint32_t kUnmarkedLongestSample = 32768;  // words
constexpr std::uint8_t kFirstPrintable = 32;
constexpr std::uint8_t kLastPrintable = 126;

// ProTracker's periods of C-1 .. B-3; slides stop at the first and the last.
constexpr std::int16_t kProTrackerPeriods[kTableNotes] = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339, 320,
    302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

constexpr FormatRules kProTrackerRules = [] {
    FormatRules rules = kXmRules;
    rules.amigaClock = kPalClock;
    rules.periodTable = kProTrackerPeriods;
    rules.minPeriod = kProTrackerPeriods[kTableNotes - 1] * kPeriodScale;
    rules.maxPeriod = kProTrackerPeriods[0] * kPeriodScale;
    rules.samplePanning = false;
    rules.slideMemory = false;
    rules.noteCommandsNeedNote = true;
    rules.vibratoOnRowTick = false;
    rules.vibratoPeriodRisesFirst = true;
    rules.portamentoTakesInstrument = true;
    rules.delayAtRowEndSpeed = true;
    rules.sampleSwap = true;
    rules.glissando = true;
    rules.extendedCommands[5] = ExtendedCommand::noteTuning;
    rules.noteTunings = kTuningOfFinetune.data();
    return rules;
}();

struct Layout {
    std::int32_t samples;   // 15 or 31
    std::int32_t channels;  // 0: not a MOD
    const char* tracker;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The channel count and writer a mark names; no channels for an unknown mark.
Layout layoutOf(const std::uint8_t* bytes) {
    const std::string_view mark(reinterpret_cast<const char*>(bytes), kMarkBytes);
    if (mark == "M.K." || mark == "M!K!" || mark == "4CHN")
        return {kMarkedSamples, 4, "ProTracker"};
    if (mark == "FLT4") return {kMarkedSamples, 4, "StarTrekker"};
    if (isDigit(mark[0]) && mark.substr(1) == "CHN" && mark[0] != '0') {
        return {kMarkedSamples, mark[0] - '0', ""};
    }
    if (isDigit(mark[0]) && isDigit(mark[1]) && mark.substr(2) == "CH") {
        const std::int32_t channels = (mark[0] - '0') * 10 + (mark[1] - '0');
        if (channels >= 1 && channels <= kMaxChannels) return {kMarkedSamples, channels, ""};
    }
    return {kMarkedSamples, 0, ""};
}

bool printable(const std::uint8_t* bytes, std::int64_t count) {
    return std::all_of(bytes, bytes + count, [](std::uint8_t b) {
        return b == 0 || (b >= kFirstPrintable && b <= kLastPrintable);
    });
}

std::uint32_t bigEndian16(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 8 | bytes[1];
}

std::int32_t highestPattern(const std::uint8_t* orders, std::int32_t count) {
    return *std::max_element(orders, orders + count);
}

std::uint16_t readBigEndian16(Reader& reader) {
    std::uint8_t bytes[2];
    readBytes(reader, bytes, 2);
    return static_cast<std::uint16_t>(bigEndian16(bytes));
}

void readSampleHeader(Reader& reader, Module& module, std::int32_t index, bool marked) {
    Instrument& instrument = module.instruments[index];
    Sample& sample = module.samples[index];
    readBytes(reader, instrument.name.data(), kFileNameBytes);
    module.sampleNames[index] = instrument.name;
    sample.length = readBigEndian16(reader) * 2u;
    sample.finetune = finetuneOfNibble(readU8(reader));
    sample.volume = std::min(readU8(reader), kFullVolume);
    // The 15-sample form gives the loop start in bytes.
    sample.loopStart = readBigEndian16(reader) * (marked ? 2u : 1u);
    sample.loopLength = readBigEndian16(reader) * 2u;
    sample.bits = 8;
    sample.panning = kCentre;
    sample.guardValue = kNoGuard;
    sample.loopType = sample.loopLength > 2 ? LoopType::forward : LoopType::none;
    if (sample.loopType == LoopType::none) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
    }
}

// The note whose period lies nearest, from the periods of notes 1..kTopNote.
std::uint8_t noteOf(std::uint32_t period, const std::array<std::int32_t, kTopNote>& periods) {
    if (period == 0) return 0;
    const auto target = static_cast<std::int32_t>(period) * kPeriodScale;
    std::int32_t best = 0;
    for (std::int32_t n = 1; n < kTopNote; ++n) {
        if (std::abs(periods[n] - target) < std::abs(periods[best] - target)) best = n;
    }
    return static_cast<std::uint8_t>(best + 1);
}

PatternCell cellOf(const std::uint8_t* bytes, const std::array<std::int32_t, kTopNote>& periods,
                   std::int32_t sampleCount) {
    PatternCell cell{};
    cell.note = noteOf((bytes[0] & 0x0F) << 8 | bytes[1], periods);
    const std::int32_t sample = (bytes[0] & 0xF0) | bytes[2] >> 4;
    cell.instrument = static_cast<std::uint8_t>(sample <= sampleCount ? sample : 0);
    cell.command = kCommandOfEffect[bytes[2] & 0x0F];
    cell.parameter = bytes[3];
    // An arpeggio or a speed of 0 is no command here.
    if ((cell.command == Command::arpeggio || cell.command == Command::speedOrTempo) &&
        cell.parameter == 0) {
        cell.command = Command::none;
    }
    return cell;
}

void readPatterns(Reader& reader, Module& module, std::int32_t storedPatterns) {
    std::array<std::int32_t, kTopNote> periods{};
    for (std::int32_t n = 0; n < kTopNote; ++n)
        periods[n] = notePeriod(module.rules, n, 0);
    std::uint8_t row[kMaxChannels * kCellBytes];
    const std::int64_t rowBytes = std::int64_t{module.channelCount} * kCellBytes;
    if (reader.position + storedPatterns * kRows * rowBytes > reader.size) {
        noteCut(reader, kPatternRegion);
    }
    for (std::int32_t p = 0; p < storedPatterns && !atEnd(reader); ++p) {
        PatternCell* cells = module.patterns[p].cells;
        for (std::int32_t r = 0; r < kRows; ++r) {
            readBytes(reader, row, rowBytes);
            for (std::int32_t c = 0; c < module.channelCount; ++c)
                cells[r * module.channelCount + c] =
                    cellOf(row + c * kCellBytes, periods, module.instrumentCount);
        }
    }
}

// Amiga channels 0 and 3 of each four play left, 1 and 2 right.
void panChannels(Module& module) {
    for (std::int32_t c = 0; c < module.channelCount; ++c)
        module.channelPannings[c] = (c % 4 == 0 || c % 4 == 3) ? kLeft : kRight;
}

// Patterns stored: the highest number in the whole order table, as the trackers count
// them, unless the file is too short for that and not for those played.
std::int32_t storedPatternCount(const Module& module, const std::uint8_t* orders,
                                std::int64_t patternsAt, std::int64_t fileSize) {
    const std::int64_t patternBytes = std::int64_t{kRows} * module.channelCount * kCellBytes;
    const std::int32_t all = highestPattern(orders, kOrderBytes) + 1;
    if (patternsAt + all * patternBytes <= fileSize) return all;
    return highestPattern(orders, module.songLength) + 1;
}

}  // namespace

std::int64_t modHeaderBytes(const FileHead&) {
    return kMarkOffset + kMarkBytes;
}

std::int64_t soundtrackerHeaderBytes(const FileHead&) {
    return kTitleBytes + kUnmarkedSamples * kSampleHeaderBytes + 2 + kOrderBytes;
}

bool recognisesMod(const FileHead& head) {
    return head.length >= kMarkOffset + kMarkBytes &&
           layoutOf(head.bytes + kMarkOffset).channels != 0;
}

bool recognisesSoundtracker(const FileHead& head) {
    const std::int64_t ordersAt = kTitleBytes + kUnmarkedSamples * kSampleHeaderBytes + 2;
    const std::int64_t patternsAt = ordersAt + kOrderBytes;
    if (head.length < patternsAt || !printable(head.bytes, kTitleBytes)) return false;
    bool anySample = false;
    for (std::int32_t i = 0; i < kUnmarkedSamples; ++i) {
        const std::uint8_t* header = head.bytes + kTitleBytes + i * kSampleHeaderBytes;
        const std::uint32_t length = bigEndian16(header + kFileNameBytes);
        if (!printable(header, kFileNameBytes) || header[kFileNameBytes + 2] > 15 ||
            header[kFileNameBytes + 3] > kFullVolume || length > kUnmarkedLongestSample) {
            return false;
        }
        anySample = anySample || length > 0;
    }
    const std::uint8_t songLength = head.bytes[ordersAt - 2];
    const std::uint8_t* orders = head.bytes + ordersAt;
    if (!anySample || songLength == 0 || songLength > kOrderBytes) return false;
    if (std::any_of(orders, orders + kOrderBytes,
                    [](std::uint8_t order) { return order >= kUnmarkedPatterns; })) {
        return false;
    }
    const std::int32_t patterns = highestPattern(orders, songLength) + 1;
    return head.fileSize >= patternsAt + std::int64_t{patterns} * kRows * 4 * kCellBytes;
}

bool loadMod(ModuleLoad& load) {
    Reader& reader = load.reader;
    Module& module = load.module;
    std::uint8_t mark[kMarkBytes];
    seekTo(reader, kMarkOffset);
    readBytes(reader, mark, kMarkBytes);
    Layout layout = layoutOf(mark);
    if (layout.channels == 0) layout = {kUnmarkedSamples, 4, "Soundtracker"};
    const bool marked = layout.samples == kMarkedSamples;
    seekTo(reader, 0);
    readBytes(reader, module.title.data(), kTitleBytes);
    if (marked) {
        std::snprintf(module.format.data(), module.format.size(), "MOD %.4s",
                      reinterpret_cast<const char*>(mark));
    } else {
        std::snprintf(module.format.data(), module.format.size(), "MOD 15 samples");
    }
    std::snprintf(module.tracker.data(), module.tracker.size(), "%s", layout.tracker);
    module.channelCount = static_cast<std::int16_t>(layout.channels);
    module.instrumentCount = static_cast<std::int16_t>(layout.samples);
    if (!allocateSampleInstruments(module)) return false;
    for (std::int32_t i = 0; i < layout.samples; ++i)
        readSampleHeader(reader, module, i, marked);
    module.songLength = std::min<std::int16_t>(readU8(reader), kOrderBytes);
    const std::uint8_t restart = readU8(reader);
    readBytes(reader, module.orderTable.data(), kOrderBytes);
    if (module.songLength < 1) return false;
    module.restartPosition = restart < module.songLength ? restart : 0;
    module.rules = kProTrackerRules;
    module.defaultTempo = kDefaultSpeed;
    module.defaultBpm = kDefaultBpm;
    module.defaultGlobalVolume = kFullVolume;
    panChannels(module);

    const std::int64_t patternsAt = reader.position + (marked ? kMarkBytes : 0);
    const std::int32_t storedPatterns =
        storedPatternCount(module, module.orderTable.data(), patternsAt, reader.size);
    if (!allocatePatterns(module, storedPatterns, kRows)) return false;
    seekTo(reader, patternsAt);
    reader.region = &kPatternRegion;
    readPatterns(reader, module, storedPatterns);
    for (std::int32_t i = 0; i < layout.samples; ++i) {
        if (!readSampleData(load, module.samples[i], i, 0, SampleCoding::plain)) {
            return false;
        }
    }
    return true;
}

}  // namespace vorn3
