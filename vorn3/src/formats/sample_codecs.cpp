#include "formats/sample_codecs.h"

#include <algorithm>

#include "formats/reader.h"

namespace vorn3 {
namespace {

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

bool readSampleData(ModuleLoad& load, Sample& sample, std::int32_t instrument, std::int32_t index,
                    SampleCoding coding) {
    Reader& reader = load.reader;
    const SampleDataHook hook = load.sampleDataHook;
    const std::uint32_t bytesPerFrame = sample.bits / 8u;
    const std::int64_t framesInFile = (reader.size - reader.position) / bytesPerFrame;
    sample.length = static_cast<std::uint32_t>(std::min<std::int64_t>(sample.length, framesInFile));
    clipLoopToData(sample);
    if (sample.length == 0) return true;
    const std::int64_t storedBytes = std::int64_t{sample.length} * bytesPerFrame;
    sample.data = allocateFrames(sample.length);
    if (!sample.data) return false;
    if (hook) {
        hook(sample.data, static_cast<std::int32_t>(storedBytes), sample.bits, instrument, index);
        skip(reader, storedBytes);
    } else {
        readBytes(reader, sample.data, storedBytes);
    }
    if (sample.bits == 8) {
        widenBytes(sample.data, sample.length);
        sample.bits = 16;
    }
    if (!hook && coding == SampleCoding::delta) {
        deltaDecode(sample.data, sample.length);
    }
    if (!hook && coding == SampleCoding::unsignedPlain) {
        flipSigns(sample.data, sample.length);
    }
    placeGuardFrame(sample);
    return true;
}

}  // namespace vorn3
