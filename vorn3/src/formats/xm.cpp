#include "formats/formats.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

#include "formats/reader.h"
#include "formats/sample_codecs.h"

namespace vorn3 {
namespace {

constexpr std::int64_t kFileNameBytes = 22;  // of instrument and sample names

// 16-bit frames are read from the file straight into the sample data.
static_assert(std::endian::native == std::endian::little);

constexpr char kMagic[] = "Extended Module: ";
constexpr std::int64_t kMagicLength = sizeof kMagic - 1;
constexpr std::int64_t kHeaderSizeOffset = 60;
constexpr std::uint8_t kFullGlobalVolume = 64;
constexpr std::int32_t kMaxPatterns = 256;
constexpr std::int32_t kMaxRows = 256;
// Rows of a pattern the order table names but the file lacks, or stores without rows.
constexpr std::int32_t kEmptyPatternRows = 64;
constexpr std::int32_t kMaxInstruments = 128;
constexpr std::int32_t kMaxInstrumentSamples = 16;
constexpr std::int32_t kNotes = 96;
constexpr std::int32_t kEnvelopePoints = 12;
constexpr std::int16_t kMinBpm = 32;
constexpr std::int16_t kMaxBpm = 255;
constexpr std::int64_t kPatternLengthAndPacking = 5;  // bytes before the row count
constexpr std::uint8_t kPackedCell = 0x80;
constexpr std::int32_t kCellFields = 5;
constexpr std::uint8_t kFileKeyOff = 97;
constexpr std::uint8_t kMaxInstrumentNumber = 128;
constexpr std::int64_t kSongNameBytes = 20;
constexpr std::int64_t kNameEnd = 1;  // the byte after the title
constexpr std::int64_t kInstrumentType = 1;
constexpr std::int64_t kSampleHeaderSize = 4;  // the field, not used: sample headers are 40 bytes
constexpr std::int64_t kSampleReserved = 1;
constexpr std::uint16_t kMaxEnvelopeValue = 64;
constexpr std::uint8_t kMaxSampleVolume = 64;
constexpr std::uint8_t kTypeForward = 1;
constexpr std::uint8_t kTypePingPong = 2;
constexpr std::uint8_t kType16Bit = 16;

bool readHeader(Reader& reader, Module& module, std::int32_t& patternCount) {
    char magic[kMagicLength];
    readBytes(reader, magic, kMagicLength);
    if (std::memcmp(magic, kMagic, kMagicLength) != 0) return false;
    readBytes(reader, module.title.data(), kSongNameBytes);
    skip(reader, kNameEnd);
    readBytes(reader, module.tracker.data(), kSongNameBytes);
    const std::uint16_t version = readU16(reader);
    std::snprintf(module.format.data(), module.format.size(), "XM %d.%02d", version >> 8,
                  version & 0xFF);
    module.rules = kXmRules;
    module.defaultGlobalVolume = kFullGlobalVolume;

    seekTo(reader, kHeaderSizeOffset);
    const std::uint32_t headerSize = readU32(reader);
    module.songLength = readI16(reader);
    module.restartPosition = readI16(reader);
    module.channelCount = readI16(reader);
    patternCount = readU16(reader);
    module.instrumentCount = readI16(reader);
    module.flags = readI16(reader);
    module.defaultTempo = readI16(reader);
    module.defaultBpm = readI16(reader);
    readBytes(reader, module.orderTable.data(), kMaxOrders);
    seekTo(reader, kHeaderSizeOffset + headerSize);

    if (module.songLength < 1 || module.songLength > kMaxOrders) return false;
    if (module.channelCount < 1 || module.channelCount > kMaxChannels) return false;
    if (patternCount > kMaxPatterns) return false;
    if (module.instrumentCount < 0 || module.instrumentCount > kMaxInstruments) return false;
    if (module.restartPosition < 0 || module.restartPosition >= module.songLength) {
        module.restartPosition = 0;
    }
    module.defaultBpm = std::clamp(module.defaultBpm, kMinBpm, kMaxBpm);
    return true;
}

// XM's effect numbers 0..35 as the engine's commands; the ones it does not play, 000
// and every number past them are none.
constexpr std::array<Command, 36> kCommandOfEffect{
    Command::arpeggio,                   // 0
    Command::portamentoUp,               // 1
    Command::portamentoDown,             // 2
    Command::tonePortamento,             // 3
    Command::vibrato,                    // 4
    Command::tonePortamentoVolumeSlide,  // 5
    Command::vibratoVolumeSlide,         // 6
    Command::none,                       // 7
    Command::setPanning,                 // 8
    Command::sampleOffset,               // 9
    Command::volumeSlide,                // A
    Command::positionJump,               // B
    Command::setVolume,                  // C
    Command::patternBreak,               // D
    Command::extended,                   // E
    Command::speedOrTempo,               // F
    Command::setGlobalVolume,            // G
    Command::globalVolumeSlide,          // H
    Command::none,                       // I
    Command::none,                       // J
    Command::keyOff,                     // K
    Command::setEnvelopePosition,        // L
    Command::none,                       // M
    Command::none,                       // N
    Command::none,                       // O
    Command::panningSlide,               // P
    Command::none,                       // Q
    Command::multiRetrigger,             // R
    Command::none,                       // S
    Command::tremor,                     // T
    Command::none,                       // U
    Command::none,                       // V
    Command::none,                       // W
    Command::extraFinePortamento,        // X
    Command::none,                       // Y
    Command::none,                       // Z
};

// The volume column's byte: 0x10..0x50 sets the volume, the high nibble of the others
// names the command and the low nibble is its value.
constexpr std::uint8_t kColumnSetVolumeFirst = 0x10;
constexpr std::uint8_t kColumnSetVolumeLast = 0x50;
constexpr std::uint8_t kFirstColumnCommand = 6;
constexpr std::array<VolumeCommand, 10> kColumnCommands{
    VolumeCommand::slideDown,     VolumeCommand::slideUp,      VolumeCommand::fineDown,
    VolumeCommand::fineUp,        VolumeCommand::vibratoSpeed, VolumeCommand::vibrato,
    VolumeCommand::setPanning,    VolumeCommand::panningLeft,  VolumeCommand::panningRight,
    VolumeCommand::tonePortamento};

void decodeVolumeColumn(std::uint8_t byte, PatternCell& cell) {
    if (byte >= kColumnSetVolumeFirst && byte <= kColumnSetVolumeLast) {
        cell.volume = VolumeCommand::setVolume;
        cell.volumeValue = static_cast<std::uint8_t>(byte - kColumnSetVolumeFirst);
    } else if (byte >> 4 >= kFirstColumnCommand) {
        cell.volume = kColumnCommands[(byte >> 4) - kFirstColumnCommand];
        cell.volumeValue = byte & 15;
    }
}

PatternCell readCell(Reader& reader) {
    // note, instrument, volume column, effect, parameter
    std::array<std::uint8_t, kCellFields> fields{};
    const std::uint8_t first = readU8(reader);
    if (first & kPackedCell) {
        for (std::int32_t field = 0; field < kCellFields; ++field) {
            if (first & (1 << field)) fields[field] = readU8(reader);
        }
    } else {
        fields[0] = first;
        for (std::int32_t field = 1; field < kCellFields; ++field)
            fields[field] = readU8(reader);
    }
    PatternCell cell{};
    cell.note = fields[0] == kFileKeyOff ? kKeyOff : fields[0] > kFileKeyOff ? 0 : fields[0];
    cell.instrument = fields[1] <= kMaxInstrumentNumber ? fields[1] : 0;
    decodeVolumeColumn(fields[2], cell);
    cell.command =
        fields[3] < kCommandOfEffect.size() ? kCommandOfEffect[fields[3]] : Command::none;
    cell.parameter = fields[4];
    if (cell.command == Command::arpeggio && cell.parameter == 0) cell.command = Command::none;
    return cell;
}

bool allocateCells(PatternSlot& slot, std::int32_t rows, std::int32_t channelCount) {
    slot.rows = rows;
    slot.cells = new (std::nothrow) PatternCell[static_cast<std::size_t>(rows * channelCount)]();
    return slot.cells != nullptr;
}

bool readPattern(Reader& reader, const Module& module, PatternSlot& slot) {
    skip(reader, kPatternLengthAndPacking);
    const std::int32_t rows = readU16(reader);
    const std::int32_t packedSize = readU16(reader);
    if (rows > kMaxRows) return false;
    if (!allocateCells(slot, rows > 0 ? rows : kEmptyPatternRows, module.channelCount))
        return false;
    if (reader.position + packedSize > reader.size) noteCut(reader, kPatternRegion);
    if (rows == 0 || packedSize == 0) return true;
    const std::int32_t cellCount = rows * module.channelCount;
    for (std::int32_t i = 0; i < cellCount && !atEnd(reader); ++i)
        slot.cells[i] = readCell(reader);
    return true;
}

bool readPatterns(Reader& reader, Module& module, std::int32_t patternCount) {
    module.usedPatternCount = 0;
    for (std::int32_t i = 0; i < module.songLength; ++i) {
        module.usedPatternCount = std::max(module.usedPatternCount, module.orderTable[i] + 1);
    }
    module.patternSlotCount = std::max(patternCount, module.usedPatternCount);
    module.patterns = new (std::nothrow) PatternSlot[module.patternSlotCount]();
    if (!module.patterns) return false;
    for (std::int32_t i = 0; i < patternCount; ++i) {
        if (!readPattern(reader, module, module.patterns[i])) return false;
    }
    for (std::int32_t i = patternCount; i < module.patternSlotCount; ++i) {
        if (!allocateCells(module.patterns[i], kEmptyPatternRows, module.channelCount))
            return false;
    }
    return true;
}

void readEnvelopePoints(Reader& reader, Envelope& envelope) {
    for (std::int32_t i = 0; i < kEnvelopePoints; ++i) {
        envelope.points[i].tick = readU16(reader);
        envelope.points[i].value = std::min(readU16(reader), kMaxEnvelopeValue);
    }
}

// The keymap names the instrument's own samples; a number beyond them plays nothing.
void readInstrumentHeader(Reader& reader, Instrument& instrument) {
    skip(reader, kSampleHeaderSize);
    std::array<std::uint8_t, kNotes> keymap;
    readBytes(reader, keymap.data(), kNotes);
    for (std::int32_t n = 0; n < kNotes; ++n) {
        instrument.noteSamples[n] =
            keymap[n] < instrument.sampleCount
                ? static_cast<std::int16_t>(instrument.firstSample + keymap[n])
                : kNoSample;
    }
    Envelope& volume = instrument.volumeEnvelope;
    Envelope& panning = instrument.panningEnvelope;
    readEnvelopePoints(reader, volume);
    readEnvelopePoints(reader, panning);
    const std::uint8_t volumePoints = readU8(reader);
    const std::uint8_t panningPoints = readU8(reader);
    volume.sustainPoint = readU8(reader);
    volume.loopStart = readU8(reader);
    volume.loopEnd = readU8(reader);
    panning.sustainPoint = readU8(reader);
    panning.loopStart = readU8(reader);
    panning.loopEnd = readU8(reader);
    volume.type = readU8(reader);
    panning.type = readU8(reader);
    instrument.vibrato.type = readU8(reader);
    instrument.vibrato.sweep = readU8(reader);
    instrument.vibrato.depth = readU8(reader);
    instrument.vibrato.rate = readU8(reader);
    instrument.fadeout = readU16(reader) * 2;
    // XM's sustain is a single point.
    volume.sustainEnd = volume.sustainPoint;
    panning.sustainEnd = panning.sustainPoint;
    limitEnvelope(volume, volumePoints, kEnvelopePoints);
    limitEnvelope(panning, panningPoints, kEnvelopePoints);
}

void readSampleHeader(Reader& reader, Sample& sample, char* name) {
    sample.guardValue = kNoGuard;
    sample.length = readU32(reader);
    sample.loopStart = readU32(reader);
    sample.loopLength = readU32(reader);
    sample.volume = std::min(readU8(reader), kMaxSampleVolume);
    sample.finetune = static_cast<std::int8_t>(readU8(reader));
    const std::uint8_t type = readU8(reader);
    sample.loopType = LoopType::none;
    if (type & kTypeForward) sample.loopType = LoopType::forward;
    if (type & kTypePingPong) sample.loopType = LoopType::pingPong;
    sample.bits = (type & kType16Bit) ? 16 : 8;
    if (sample.loopType == LoopType::none) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
    }
    if (sample.bits == 16) {
        sample.length /= 2;
        sample.loopStart /= 2;
        sample.loopLength /= 2;
    }
    if (sample.loopLength == 0) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
        sample.loopType = LoopType::none;
    }
    sample.panning = readU8(reader);
    sample.relativeNote = static_cast<std::int8_t>(readU8(reader));
    skip(reader, kSampleReserved);
    readBytes(reader, name, kFileNameBytes);
}

bool readInstrument(ModuleLoad& load, std::int32_t index) {
    Reader& reader = load.reader;
    Module& module = load.module;
    Instrument& instrument = module.instruments[index];
    instrument = newInstrument();
    const std::int64_t start = reader.position;
    const std::uint32_t headerSize = readU32(reader);
    readBytes(reader, instrument.name.data(), kFileNameBytes);
    skip(reader, kInstrumentType);
    const std::int32_t sampleCount = readU16(reader);
    if (sampleCount > kMaxInstrumentSamples) return false;
    instrument.firstSample = appendSamples(module, sampleCount);
    if (instrument.firstSample < 0) return false;
    instrument.sampleCount = sampleCount;
    if (sampleCount > 0) readInstrumentHeader(reader, instrument);
    seekTo(reader, start + headerSize);
    for (std::int32_t j = 0; j < sampleCount; ++j) {
        const std::int32_t at = instrument.firstSample + j;
        readSampleHeader(reader, module.samples[at], module.sampleNames[at].data());
    }
    for (std::int32_t j = 0; j < sampleCount; ++j) {
        Sample& sample = module.samples[instrument.firstSample + j];
        if (!readSampleData(load, sample, index, j, SampleCoding::delta)) return false;
    }
    return true;
}

bool readInstruments(ModuleLoad& load) {
    Module& module = load.module;
    module.instruments = new (std::nothrow) Instrument[module.instrumentCount]();
    if (!module.instruments) return false;
    for (std::int32_t i = 0; i < module.instrumentCount; ++i) {
        if (!readInstrument(load, i)) return false;
    }
    return true;
}

}  // namespace

std::int64_t xmHeaderBytes(const FileHead& head) {
    return kHeaderSizeOffset + std::int64_t{headField(head, kHeaderSizeOffset, 4)};
}

bool recognisesXm(const FileHead& head) {
    return head.length >= kMagicLength && std::memcmp(head.bytes, kMagic, kMagicLength) == 0;
}

bool loadXm(ModuleLoad& load) {
    std::int32_t patternCount = 0;
    if (!readHeader(load.reader, load.module, patternCount)) return false;
    load.reader.region = &kPatternRegion;
    if (!readPatterns(load.reader, load.module, patternCount)) return false;
    load.reader.region = &kInstrumentRegion;
    return readInstruments(load);
}

}  // namespace vorn3
