// S3M: header, order list, instruments and patterns found through paragraph pointers.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "formats/formats.h"
#include "formats/reader.h"
#include "formats/sample_codecs.h"
#include "module/pitch.h"

namespace vorn3 {
namespace {

constexpr char kMark[] = "SCRM";
constexpr std::int64_t kMarkOffset = 44;
constexpr std::int64_t kMarkBytes = 4;
constexpr std::int64_t kTitleBytes = 28;
constexpr std::int64_t kCountsOffset = 32;
constexpr std::int64_t kGlobalVolumeOffset = 48;
constexpr std::int64_t kDefaultPanningOffset = 53;
constexpr std::int64_t kChannelSettingsOffset = 64;
constexpr std::int64_t kOrdersOffset = 96;
constexpr std::int32_t kFileChannels = 32;
constexpr std::int32_t kMaxInstruments = 128;
constexpr std::int32_t kMaxPatterns = 256;
constexpr std::int64_t kParagraph = 16;
constexpr std::int32_t kRows = 64;
constexpr std::int32_t kDefaultSpeed = 6;
constexpr std::int16_t kMinBpm = 33;
constexpr std::int16_t kDefaultBpm = 125;
constexpr std::int16_t kMaxBpm = 255;
// Header bits.
constexpr std::uint16_t kAmigaLimits = 16;
constexpr std::uint16_t kFastSlides = 64;
constexpr std::uint16_t kFastSlidingVersion = 0x1300;  // the version that always slid fast
constexpr std::uint16_t kUnsignedSamples = 2;
constexpr std::uint8_t kStereo = 128;  // of the master volume
constexpr std::uint8_t kMasterVolumeBits = 127;
// Songs saved at ST3's default master volume play unscaled; 0 stands for it.
constexpr std::int32_t kDefaultMasterVolume = 48;
constexpr std::int32_t kLowestMasterVolume = 16;
constexpr double kMonoMasterScale = 8.0 / 11.0;
constexpr std::uint8_t kPanningTable = 252;  // default-panning byte: a table follows
constexpr std::uint8_t kPanningGiven = 32;   // of a table entry
// Channel settings: 0..7 left, 8..15 right; others are disabled or not samples.
constexpr std::uint8_t kLastLeftChannel = 7;
constexpr std::uint8_t kLastSampleChannel = 15;
constexpr std::uint8_t kLeftPanning = 0x3;
constexpr std::uint8_t kRightPanning = 0xC;
constexpr std::int32_t kPanningPerStep = 17;  // 0..15 to 0..255
constexpr std::uint8_t kCentre = 128;
// Instruments.
constexpr std::uint8_t kSampleType = 1;
constexpr std::int64_t kSampleFieldsOffset = 13;  // after the type and the file name
constexpr std::int64_t kSampleNameOffset = 48;
constexpr std::uint8_t kLooped = 1;
constexpr std::uint8_t kSixteenBit = 4;
// Pattern cells.
constexpr std::uint8_t kChannelMask = 31;
constexpr std::uint8_t kHasNote = 32;
constexpr std::uint8_t kHasVolume = 64;
constexpr std::uint8_t kHasCommand = 128;
constexpr std::uint8_t kEmptyNote = 255;
constexpr std::uint8_t kNoteCutByte = 254;
constexpr std::int32_t kSemitones = 12;
constexpr std::int32_t kTopNote = 96;  // B-7; notes above it play nothing
constexpr std::uint8_t kMaxPanningCommand = 0x80;
constexpr std::uint8_t kFirstTempo = 0x20;

// The C2 speed S2x plays the row's note at, by x (Hz).
constexpr std::array<double, 16> kC2SpeedOfFinetune = {
    7895, 7941, 7985, 8046, 8107, 8169, 8232, 8280, 8363, 8413, 8463, 8529, 8581, 8651, 8723, 8757};
// The same as tunings: all lie within a semitone of C-4.
const std::array<std::int8_t, 16> kTuningOfFinetune = [] {
    std::array<std::int8_t, 16> tunings{};
    for (std::size_t x = 0; x < tunings.size(); ++x)
        tunings[x] = static_cast<std::int8_t>(tuningOfRate(kC2SpeedOfFinetune[x]));
    return tunings;
}();

// D, E, F, I, J, K, L, Q, R and S repeat the last non-zero parameter any of them had.
constexpr FormatRules kS3mRules = [] {
    FormatRules rules = kXmRules;
    rules.samplePanning = false;
    for (const Command command :
         {Command::volumeSlide, Command::slideDown, Command::slideUp, Command::tremor,
          Command::arpeggio, Command::vibratoVolumeSlide, Command::tonePortamentoVolumeSlide,
          Command::multiRetrigger, Command::tremolo, Command::extended}) {
        rules.memoryGroups[static_cast<std::size_t>(command)] = 1;
    }
    rules.extendedCommands = kSExtendedCommands;
    rules.noteTunings = kTuningOfFinetune.data();
    rules.fineSlideNibbles = true;
    rules.cutPastMinPeriod = true;
    rules.noteCommandsNeedNote = true;
    rules.vibratoPeriodRisesFirst = true;
    rules.tremorTicksAsGiven = true;
    rules.portamentoStartsNote = true;
    rules.portamentoTakesInstrument = true;
    rules.delayAtRowEndSpeed = true;
    rules.glissando = true;
    return rules;
}();
constexpr std::int32_t kAmigaMinPeriod = 113 * 4;
constexpr std::int32_t kAmigaMaxPeriod = 856 * 4;

struct Header {
    std::int32_t orderCount;
    std::int32_t instrumentCount;
    std::int32_t patternCount;
    std::uint16_t flags;
    std::uint16_t version;
    std::uint16_t sampleFormat;
    std::array<std::uint8_t, kFileChannels> channelSettings;
};

// ST3 mixes in proportion to the master volume, and in stereo multiplies it by 11/8.
double masterVolumeScale(std::uint8_t master) {
    const std::int32_t volume = master & kMasterVolumeBits;
    if (volume == 0) return 1;
    const double stereo = master & kStereo ? 1.0 : kMonoMasterScale;
    return stereo * static_cast<double>(std::max(volume, kLowestMasterVolume)) /
           kDefaultMasterVolume;
}

bool readHeader(Reader& reader, Module& module, Header& header) {
    readBytes(reader, module.title.data(), kTitleBytes);
    seekTo(reader, kCountsOffset);
    header.orderCount = readU16(reader);
    header.instrumentCount = readU16(reader);
    header.patternCount = readU16(reader);
    header.flags = readU16(reader);
    header.version = readU16(reader);
    header.sampleFormat = readU16(reader);
    seekTo(reader, kGlobalVolumeOffset);
    module.defaultGlobalVolume = std::min(readU8(reader), kFullVolume);
    const std::uint8_t speed = readU8(reader);
    const std::uint8_t tempo = readU8(reader);
    const std::uint8_t master = readU8(reader);
    seekTo(reader, kChannelSettingsOffset);
    readBytes(reader, header.channelSettings.data(), kFileChannels);
    if (header.instrumentCount > kMaxInstruments || header.patternCount > kMaxPatterns)
        return false;

    module.defaultTempo =
        static_cast<std::int16_t>(speed != 0 && speed != 255 ? speed : kDefaultSpeed);
    module.defaultBpm = tempo >= kMinBpm ? std::min<std::int16_t>(tempo, kMaxBpm) : kDefaultBpm;
    module.instrumentCount = static_cast<std::int16_t>(header.instrumentCount);
    module.rules = kS3mRules;
    if (header.flags & kAmigaLimits) {
        module.rules.minPeriod = kAmigaMinPeriod;
        module.rules.maxPeriod = kAmigaMaxPeriod;
    }
    module.masterVolumeScale = masterVolumeScale(master);
    module.rules.volumeSlideOnRowTick =
        (header.flags & kFastSlides) != 0 || header.version == kFastSlidingVersion;
    std::snprintf(module.format.data(), module.format.size(), "S3M");
    if (header.version >> 12 == 1) {
        std::snprintf(module.tracker.data(), module.tracker.size(), "Scream Tracker %d.%02X",
                      header.version >> 8 & 15, header.version & 0xFF);
    } else {
        std::snprintf(module.tracker.data(), module.tracker.size(), "tracker %04X", header.version);
    }
    // The highest channel that plays samples sets the count; the others stay silent.
    module.channelCount = 0;
    for (std::int32_t c = 0; c < kFileChannels; ++c) {
        const std::uint8_t setting = header.channelSettings[c];
        if (setting > kLastSampleChannel) continue;
        module.channelCount = static_cast<std::int16_t>(c + 1);
        const std::uint8_t step = setting <= kLastLeftChannel ? kLeftPanning : kRightPanning;
        module.channelPannings[c] =
            master & kStereo ? static_cast<std::uint8_t>(step * kPanningPerStep) : kCentre;
    }
    return module.channelCount > 0;
}

bool readOrders(Reader& reader, Module& module, const Header& header, PlayedOrders& orders) {
    seekTo(reader, kOrdersOffset);
    const bool any = readPlayedOrders(reader, module, header.orderCount, orders);
    seekTo(reader, kOrdersOffset + header.orderCount);
    return any;
}

// The panning table after the pointers, where the header says there is one.
void readPanningTable(Reader& reader, Module& module, std::uint8_t defaultPanning) {
    if (defaultPanning != kPanningTable) return;
    for (std::int32_t c = 0; c < module.channelCount; ++c) {
        const std::uint8_t entry = readU8(reader);
        if (entry & kPanningGiven) {
            module.channelPannings[c] = static_cast<std::uint8_t>((entry & 15) * kPanningPerStep);
        }
    }
}

bool readInstrument(ModuleLoad& load, std::int32_t index, std::int64_t at, SampleCoding coding) {
    Reader& reader = load.reader;
    Instrument& instrument = load.module.instruments[index];
    Sample& sample = load.module.samples[index];
    sample.guardValue = kNoGuard;
    sample.panning = kCentre;
    sample.bits = 8;
    sample.loopType = LoopType::none;
    seekTo(reader, at);
    const std::uint8_t type = readU8(reader);
    seekTo(reader, at + kSampleFieldsOffset);
    const std::uint8_t segmentHigh = readU8(reader);
    const std::int64_t dataAt = (std::int64_t{segmentHigh} << 16 | readU16(reader)) * kParagraph;
    const std::uint32_t length = readU32(reader);
    const std::uint32_t loopStart = readU32(reader);
    const std::uint32_t loopEnd = readU32(reader);
    sample.volume = std::min(readU8(reader), kFullVolume);
    skip(reader, 2);  // reserved, packing
    const std::uint8_t flags = readU8(reader);
    tuneToRate(sample, readU32(reader));
    seekTo(reader, at + kSampleNameOffset);
    readBytes(reader, instrument.name.data(), kNameBytes);
    load.module.sampleNames[index] = instrument.name;
    if (type != kSampleType) return true;

    sample.length = length;
    sample.bits = flags & kSixteenBit ? 16 : 8;
    if ((flags & kLooped) && loopEnd > loopStart) {
        sample.loopType = LoopType::forward;
        sample.loopStart = loopStart;
        sample.loopLength = loopEnd - loopStart;
    } else {
        sample.loopStart = 0;
        sample.loopLength = length;
    }
    // Of a stereo sample the left half plays: it comes first.
    seekTo(reader, dataAt);
    return readSampleData(load, sample, index, 0, coding);
}

PatternCell cellOf(std::uint8_t what, Reader& reader, const PlayedOrders& orders) {
    PatternCell cell{};
    if (what & kHasNote) {
        const std::uint8_t note = readU8(reader);
        const std::uint8_t semitone = note & 15;
        const std::int32_t value = (note >> 4) * kSemitones + semitone + 1;
        if (note == kNoteCutByte) {
            cell.note = kNoteCut;
        } else if (note != kEmptyNote && semitone < kSemitones && value <= kTopNote) {
            cell.note = static_cast<std::uint8_t>(value);
        }
        const std::uint8_t instrument = readU8(reader);
        cell.instrument = instrument <= kMaxInstruments ? instrument : 0;
    }
    if (what & kHasVolume) {
        const std::uint8_t volume = readU8(reader);
        if (volume <= kFullVolume) {
            cell.volume = VolumeCommand::setVolume;
            cell.volumeValue = volume;
        }
    }
    if (what & kHasCommand) {
        const std::uint8_t command = readU8(reader);
        cell.parameter = readU8(reader);
        cell.command = commandOfLetter(command);
        if (cell.command == Command::positionJump) {
            cell.parameter = orders.jumpTarget[cell.parameter];
        }
        if (cell.command == Command::speedOrTempo && cell.parameter < kFirstTempo) {
            cell.command = Command::none;
        }
        if (cell.command == Command::setGlobalVolume && cell.parameter > kFullVolume) {
            cell.command = Command::none;
        }
        if (cell.command == Command::setPanning) {
            if (cell.parameter > kMaxPanningCommand) cell.command = Command::none;
            cell.parameter = static_cast<std::uint8_t>(std::min(cell.parameter * 2, 255));
        }
    }
    return cell;
}

// A channel named twice in a row keeps what the later cell leaves out.
void mergeCell(PatternCell& into, const PatternCell& cell, std::uint8_t what) {
    if (what & kHasNote) {
        into.note = cell.note;
        into.instrument = cell.instrument;
    }
    if (what & kHasVolume) {
        into.volume = cell.volume;
        into.volumeValue = cell.volumeValue;
    }
    if (what & kHasCommand) {
        into.command = cell.command;
        into.parameter = cell.parameter;
    }
}

void readPattern(Reader& reader, const Module& module, PatternSlot& slot, std::int64_t at,
                 const Header& header, const PlayedOrders& orders) {
    if (at == 0) return;
    seekTo(reader, at);
    // The stored length only says where the rows end when they end there: trackers read
    // on to the 64th row's end, which a length cut short leaves outside it.
    if (at + 2 + readU16(reader) > reader.size) noteCut(reader, kPatternRegion);
    for (std::int32_t row = 0; row < kRows && !atEnd(reader);) {
        const std::uint8_t what = readU8(reader);
        if (what == 0) {
            ++row;
            continue;
        }
        const PatternCell cell = cellOf(what, reader, orders);
        const std::int32_t channel = what & kChannelMask;
        if (channel < module.channelCount &&
            header.channelSettings[channel] <= kLastSampleChannel) {
            mergeCell(slot.cells[row * module.channelCount + channel], cell, what);
        }
    }
}

}  // namespace

std::int64_t s3mHeaderBytes(const FileHead& head) {
    return kOrdersOffset + headField(head, kCountsOffset, 2) +
           2 * (std::int64_t{headField(head, kCountsOffset + 2, 2)} +
                headField(head, kCountsOffset + 4, 2));
}

bool recognisesS3m(const FileHead& head) {
    return head.length >= kMarkOffset + kMarkBytes &&
           std::memcmp(head.bytes + kMarkOffset, kMark, kMarkBytes) == 0;
}

bool loadS3m(ModuleLoad& load) {
    Reader& reader = load.reader;
    Module& module = load.module;
    Header header{};
    PlayedOrders orders{};
    if (!readHeader(reader, module, header) || !readOrders(reader, module, header, orders)) {
        return false;
    }
    std::array<std::uint16_t, kMaxInstruments> instrumentAt{};
    for (std::int32_t i = 0; i < header.instrumentCount; ++i)
        instrumentAt[i] = readU16(reader);
    std::array<std::uint16_t, kMaxPatterns> patternAt{};
    for (std::int32_t i = 0; i < header.patternCount; ++i)
        patternAt[i] = readU16(reader);
    seekTo(reader, kDefaultPanningOffset);
    const std::uint8_t defaultPanning = readU8(reader);
    seekTo(reader,
           kOrdersOffset + header.orderCount + 2 * (header.instrumentCount + header.patternCount));
    readPanningTable(reader, module, defaultPanning);

    if (!allocateSampleInstruments(module)) return false;
    const SampleCoding coding =
        header.sampleFormat == kUnsignedSamples ? SampleCoding::unsignedPlain : SampleCoding::plain;
    reader.region = &kInstrumentRegion;
    for (std::int32_t i = 0; i < header.instrumentCount; ++i) {
        if (!readInstrument(load, i, instrumentAt[i] * kParagraph, coding)) return false;
    }
    reader.region = &kPatternRegion;
    if (!allocatePatterns(module, header.patternCount, kRows)) return false;
    for (std::int32_t i = 0; i < module.patternSlotCount; ++i) {
        readPattern(reader, module, module.patterns[i],
                    i < header.patternCount ? patternAt[i] * kParagraph : 0, header, orders);
    }
    return true;
}

}  // namespace vorn3
