#include "formats/formats.h"

#include <algorithm>
#include <array>
#include <new>

#include "formats/reader.h"

namespace vorn3 {
namespace {

struct ModuleFormat {
    bool (*recognises)(const FileHead& head);
    bool (*load)(Reader& reader, Song& song);
};

// Formats are told apart by content, never by the name the stream was opened with; the
// form without a mark comes last.
constexpr std::array kFormats{
    ModuleFormat{recognisesXm, loadXm},
    ModuleFormat{recognisesS3m, loadS3m},
    ModuleFormat{recognisesMod, loadMod},
    ModuleFormat{recognisesSoundtracker, loadMod},
};

constexpr std::uint16_t kSignBit = 0x8000;

// The guard frame after the played part must stay inside the data.
void clipLoopToData(Sample& sample) {
    if (sample.loopStart >= sample.length) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
        sample.loopType = LoopType::none;
    } else {
        sample.loopLength = std::min(sample.loopLength, sample.length - sample.loopStart);
    }
}

// Frame k holds byte k; done from the end so that no byte is overwritten before use.
void widenBytes(std::int16_t* data, std::uint32_t length) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    for (std::uint32_t k = length; k-- > 0;) {
        data[k] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[k] << 8));
    }
}

void deltaDecode(std::int16_t* data, std::uint32_t length) {
    std::uint16_t sum = 0;
    for (std::uint32_t k = 0; k < length; ++k) {
        sum = static_cast<std::uint16_t>(sum + static_cast<std::uint16_t>(data[k]));
        data[k] = static_cast<std::int16_t>(sum);
    }
}

void flipSigns(std::int16_t* data, std::uint32_t length) {
    for (std::uint32_t k = 0; k < length; ++k)
        data[k] = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[k]) ^ kSignBit);
}

// Interpolating at the last played frame reads the frame that playback continues with.
void placeGuardFrame(Sample& sample) {
    const std::uint32_t end = sample.loopStart + sample.loopLength;
    sample.guardValue = sample.data[end];
    sample.data[end] = sample.loopType == LoopType::pingPong ? sample.data[end - 1]
                                                             : sample.data[sample.loopStart];
}

}  // namespace

Sample emptySample{};
const Instrument emptyInstrument{};

std::int16_t* allocateFrames(std::uint32_t length) {
    auto* block = new (std::nothrow) std::int16_t[std::size_t{length} + 1 + kSpareFrames]();
    return block ? block + 1 : nullptr;
}

void releaseFrames(std::int16_t* data) {
    if (data) delete[](data - 1);
}

bool readSampleData(Reader& reader, const Song& song, Sample& sample, std::int32_t instrument,
                    std::int32_t index, SampleCoding coding) {
    const std::uint32_t bytesPerFrame = sample.bits / 8u;
    const std::int64_t framesInFile = (reader.size - reader.position) / bytesPerFrame;
    sample.length = static_cast<std::uint32_t>(std::min<std::int64_t>(sample.length, framesInFile));
    clipLoopToData(sample);
    if (sample.length == 0) return true;
    const std::int64_t storedBytes = std::int64_t{sample.length} * bytesPerFrame;
    sample.data = allocateFrames(sample.length);
    if (!sample.data) return false;
    if (song.sampleDataHook) {
        song.sampleDataHook(sample.data, static_cast<std::int32_t>(storedBytes), sample.bits,
                            instrument, index);
        skip(reader, storedBytes);
    } else {
        readBytes(reader, sample.data, storedBytes);
    }
    if (sample.bits == 8) {
        widenBytes(sample.data, sample.length);
        sample.bits = 16;
    }
    if (!song.sampleDataHook && coding == SampleCoding::delta) {
        deltaDecode(sample.data, sample.length);
    }
    if (!song.sampleDataHook && coding == SampleCoding::unsignedPlain) {
        flipSigns(sample.data, sample.length);
    }
    placeGuardFrame(sample);
    return true;
}

bool allocateSampleInstruments(Song& song) {
    song.instruments = new (std::nothrow) Instrument[song.instrumentCount]();
    if (!song.instruments) return false;
    for (std::int32_t i = 0; i < song.instrumentCount; ++i) {
        Instrument& instrument = song.instruments[i];
        instrument.samples.fill(&emptySample);
        instrument.samples[0] = new (std::nothrow) Sample{};
        if (!instrument.samples[0]) {
            instrument.samples[0] = &emptySample;
            return false;
        }
        instrument.sampleCount = 1;
    }
    return true;
}

bool allocatePatterns(Song& song, std::int32_t storedPatterns, std::int32_t rows) {
    song.usedPatternCount = 0;
    for (std::int32_t i = 0; i < song.songLength; ++i)
        song.usedPatternCount = std::max(song.usedPatternCount, song.orderTable[i] + 1);
    song.patternSlotCount = std::max(storedPatterns, song.usedPatternCount);
    song.patterns = new (std::nothrow) PatternSlot[song.patternSlotCount]();
    if (!song.patterns) return false;
    for (std::int32_t i = 0; i < song.patternSlotCount; ++i) {
        PatternSlot& slot = song.patterns[i];
        slot.rows = rows;
        slot.cells = new (std::nothrow) PatternCell[static_cast<std::size_t>(rows) *
                                                    static_cast<std::size_t>(song.channelCount)]();
        if (!slot.cells) return false;
    }
    return true;
}

bool loadModule(Song& song, SongStream* stream) {
    Reader reader = openReader(stream);
    std::uint8_t bytes[kHeadBytes];
    const FileHead head{bytes, std::min(reader.size, kHeadBytes), reader.size};
    readBytes(reader, bytes, head.length);
    for (const ModuleFormat& format : kFormats) {
        if (!format.recognises(head)) continue;
        seekTo(reader, 0);
        return format.load(reader, song);
    }
    return false;
}

}  // namespace vorn3
