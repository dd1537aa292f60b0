#include "formats/sample_codecs.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

#include "formats/reader.h"

namespace vorn3 {
namespace {

constexpr std::uint16_t kSignBit = 0x8000;

// IT 2.14 compression: widths 1..6 switch on their lowest value followed by the new
// width, 7..sample bits on a band of values around the middle of their range, the widest
// on its top bit with the new width in its low byte.
constexpr std::int32_t kFirstBandWidth = 7;
constexpr std::uint32_t kWidestWidthMask = 0xFF;
constexpr std::size_t kMaxBlockBytes = 0xFFFF;
constexpr std::int64_t kMaxFramesPerByte = 8;  // one-bit values

struct ItDepth {
    std::int32_t bits;        // of a frame
    std::int32_t switchBits;  // of a new width after the lowest value of widths 1..6
    std::uint32_t band;       // values each side of the middle of widths 7..bits that switch
    std::uint32_t blockFrames;
};
constexpr ItDepth kItDepth8{8, 3, 4, kItBlockFrames8};
constexpr ItDepth kItDepth16{16, 4, 8, kItBlockFrames16};

// A block's bits, least significant first.
struct BitReader {
    const std::uint8_t* bytes;
    std::size_t size;      // bytes
    std::size_t position;  // bits
};

// False, taking nothing, when fewer than `count` bits are left.
bool takeBits(BitReader& reader, std::int32_t count, std::uint32_t& value) {
    if (reader.position + static_cast<std::size_t>(count) > reader.size * 8) return false;
    value = 0;
    for (std::int32_t i = 0; i < count; ++i, ++reader.position) {
        const std::uint32_t bit = reader.bytes[reader.position / 8] >> (reader.position % 8) & 1u;
        value |= bit << i;
    }
    return true;
}

// A switch never names the width it leaves, so codes from there on mean one more.
std::int32_t nextWidth(std::uint32_t code, std::int32_t width) {
    const std::int32_t next = static_cast<std::int32_t>(code) + 1;
    return next < width ? next : next + 1;
}

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
    if (sample.length > framesInFile) noteCut(reader, kSampleDataRegion);
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

std::uint32_t decompressItBlock(const std::uint8_t* block, std::size_t blockBytes,
                                std::int16_t* out, std::uint32_t frames, bool sixteenBit,
                                bool it215) {
    const ItDepth& depth = sixteenBit ? kItDepth16 : kItDepth8;
    const std::int32_t widest = depth.bits + 1;
    frames = std::min(frames, depth.blockFrames);
    BitReader bits{block, blockBytes, 0};
    std::int32_t width = widest;
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    std::uint32_t decoded = 0;
    std::uint32_t value = 0;
    while (decoded < frames && takeBits(bits, width, value)) {
        if (width < kFirstBandWidth) {
            if (value == 1u << (width - 1)) {
                std::uint32_t code = 0;
                if (!takeBits(bits, depth.switchBits, code)) break;
                width = nextWidth(code, width);
                continue;
            }
        } else if (width < widest) {
            const std::uint32_t code = value - ((1u << (width - 1)) - depth.band);
            if (code < 2 * depth.band) {
                width = nextWidth(code, width);
                continue;
            }
        } else if (value >> depth.bits != 0) {
            const std::int32_t next = static_cast<std::int32_t>(value & kWidestWidthMask) + 1;
            if (next > widest) break;
            width = next;
            continue;
        }
        const std::int32_t shift = 32 - std::min(width, depth.bits);
        first += static_cast<std::uint32_t>(static_cast<std::int32_t>(value << shift) >> shift);
        second += first;
        const std::uint32_t frame = it215 ? second : first;
        out[decoded++] =
            static_cast<std::int16_t>(static_cast<std::uint16_t>(sixteenBit ? frame : frame << 8));
    }
    return decoded;
}

bool readItCompressedSample(ModuleLoad& load, Sample& sample, std::int32_t instrument,
                            std::int32_t index, bool it215) {
    Reader& reader = load.reader;
    const SampleDataHook hook = load.sampleDataHook;
    const bool sixteenBit = sample.bits == 16;
    const std::uint32_t blockFrames = sixteenBit ? kItBlockFrames16 : kItBlockFrames8;
    const std::int64_t bytesPerFrame = sample.bits / 8;
    // The hook takes its byte count as 32 bits.
    const std::int64_t framesHeld = std::min((reader.size - reader.position) * kMaxFramesPerByte,
                                             std::int64_t{INT32_MAX} / bytesPerFrame);
    if (sample.length > framesHeld) noteCut(reader, kSampleDataRegion);
    sample.length = static_cast<std::uint32_t>(std::min<std::int64_t>(sample.length, framesHeld));
    clipLoopToData(sample);
    if (sample.length == 0) return true;
    sample.data = allocateFrames(sample.length);
    const std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[kMaxBlockBytes]);
    if (!sample.data || !block) return false;
    for (std::uint32_t done = 0; done < sample.length;
         done += std::min(blockFrames, sample.length - done)) {
        const std::uint16_t blockBytes = readU16(reader);
        if (blockBytes > reader.size - reader.position) noteCut(reader, kSampleDataRegion);
        const std::int64_t held = std::min<std::int64_t>(blockBytes, reader.size - reader.position);
        if (held <= 0) break;
        if (hook) {
            skip(reader, held);
            continue;
        }
        readBytes(reader, block.get(), held);
        decompressItBlock(block.get(), static_cast<std::size_t>(held), sample.data + done,
                          sample.length - done, sixteenBit, it215);
    }
    if (hook) {
        hook(sample.data, static_cast<std::int32_t>(sample.length * bytesPerFrame), sample.bits,
             instrument, index);
        if (!sixteenBit) widenBytes(sample.data, sample.length);
    }
    sample.bits = 16;
    placeGuardFrame(sample);
    return true;
}

}  // namespace vorn3
