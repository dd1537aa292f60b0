#include "writers/it_writer.h"

#include <algorithm>

#include "writers/module_bytes.h"

namespace it {
namespace {

using namespace module_bytes;

constexpr std::size_t kNameBytes = 26;
constexpr std::size_t kMidiTextBytes = 32;
constexpr std::size_t kFileNameBytes = 12;
constexpr std::size_t kOldEnvelopeTableBytes = 200;
constexpr std::size_t kPatternReservedBytes = 4;
constexpr std::uint8_t kOldEnvelopeEnd = 0xFF;  // tick of the node after the last

constexpr std::uint8_t kSampleAssociated = 1;
constexpr std::uint8_t kSample16Bit = 2;
constexpr std::uint8_t kSampleStereo = 4;
constexpr std::uint8_t kSampleCompressed = 8;
constexpr std::uint8_t kConvertSigned = 1;
constexpr std::uint8_t kConvertDelta = 4;  // with compression: IT 2.15's
constexpr std::uint16_t kSpecialMessage = 1;
constexpr std::size_t kMessageOffsetAt = 0x38;
constexpr std::size_t kSamplePointerAt = 0x48;

constexpr std::uint8_t kChannelHasMask = 128;
constexpr std::uint8_t kMaskNote = 1;
constexpr std::uint8_t kMaskInstrument = 2;
constexpr std::uint8_t kMaskVolume = 4;
constexpr std::uint8_t kMaskEffect = 8;
constexpr std::uint8_t kMaskLastNote = 16;
constexpr std::uint8_t kMaskLastInstrument = 32;
constexpr std::uint8_t kMaskLastVolume = 64;
constexpr std::uint8_t kMaskLastEffect = 128;

// IT 2.14 compression: widths 1..6 switch on their lowest value followed by the new
// width, 7..sample bits on a band around the middle of their range, the widest on its top
// bit with the new width in its low byte.
constexpr std::int32_t kFirstBandWidth = 7;
constexpr std::size_t kBlockBytes = 0x8000;  // decompressed
constexpr std::size_t kWidthLookahead = 8;   // deltas

struct Depth {
    std::int32_t bits;        // of a frame
    std::int32_t switchBits;  // of a new width after the lowest value of widths 1..6
    std::int32_t band;        // values each side of the middle of widths 7..bits that switch
};
constexpr Depth kDepth8{8, 3, 4};
constexpr Depth kDepth16{16, 4, 8};

void set32(Bytes& out, std::size_t at, std::size_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putHeader(Bytes& out, const Module& module) {
    putText(out, "IMPM", 4);
    putText(out, module.name, kNameBytes);
    put8(out, module.highlightMinor);
    put8(out, module.highlightMajor);
    put16(out, static_cast<std::uint16_t>(module.orders.size()));
    put16(out, static_cast<std::uint16_t>(module.instruments.size()));
    put16(out, static_cast<std::uint16_t>(module.samples.size()));
    put16(out, static_cast<std::uint16_t>(module.patterns.size()));
    put16(out, module.createdWith);
    put16(out, module.compatibleVersion);
    put16(out, module.flags);
    put16(out, module.special.value_or(module.message.empty() ? 0 : kSpecialMessage));
    for (std::uint8_t value : {module.globalVolume, module.mixVolume, module.speed, module.tempo,
                               module.panSeparation, module.pitchWheelDepth})
        put8(out, value);
    put16(out, static_cast<std::uint16_t>(module.message.empty() ? 0 : module.message.size() + 1));
    put32(out, 0);  // message offset, set once placed
    put32(out, 0);
    out.insert(out.end(), module.channelPan.begin(), module.channelPan.end());
    out.insert(out.end(), module.channelVolume.begin(), module.channelVolume.end());
}

void putKeyboard(Bytes& out, const Keyboard& keyboard) {
    for (const KeyboardEntry& entry : keyboard) {
        put8(out, entry.note);
        put8(out, entry.sample);
    }
}

void putEnvelope(Bytes& out, const Envelope& envelope) {
    put8(out, envelope.flags);
    put8(out, envelope.storedNodeCount.value_or(static_cast<std::uint8_t>(envelope.nodes.size())));
    for (std::uint8_t value :
         {envelope.loopBegin, envelope.loopEnd, envelope.sustainBegin, envelope.sustainEnd})
        put8(out, value);
    for (std::size_t i = 0; i < kEnvelopeNodes; ++i) {
        const EnvelopeNode node = i < envelope.nodes.size() ? envelope.nodes[i] : EnvelopeNode{};
        put8(out, static_cast<std::uint8_t>(node.value));
        put16(out, node.tick);
    }
    put8(out, 0);
}

void putInstrument(Bytes& out, const Instrument& instrument) {
    putText(out, "IMPI", 4);
    putText(out, instrument.fileName, kFileNameBytes);
    put8(out, 0);
    put8(out, instrument.newNoteAction);
    put8(out, instrument.duplicateCheckType);
    put8(out, instrument.duplicateCheckAction);
    put16(out, instrument.fadeout);
    put8(out, static_cast<std::uint8_t>(instrument.pitchPanSeparation));
    for (std::uint8_t value :
         {instrument.pitchPanCentre, instrument.globalVolume, instrument.defaultPan,
          instrument.randomVolume, instrument.randomPan})
        put8(out, value);
    put16(out, instrument.trackerVersion);
    put8(out, instrument.sampleCount);
    put8(out, 0);
    putText(out, instrument.name, kNameBytes);
    for (std::uint8_t value : {instrument.filterCutoff, instrument.filterResonance,
                               instrument.midiChannel, instrument.midiProgram})
        put8(out, value);
    put16(out, instrument.midiBank);
    putKeyboard(out, instrument.keyboard);
    for (const Envelope* envelope :
         {&instrument.volumeEnvelope, &instrument.panningEnvelope, &instrument.pitchEnvelope})
        putEnvelope(out, *envelope);
    put32(out, 0);
}

void putOldInstrument(Bytes& out, const Instrument& instrument) {
    const Envelope& envelope = instrument.volumeEnvelope;
    putText(out, "IMPI", 4);
    putText(out, instrument.fileName, kFileNameBytes);
    put8(out, 0);
    for (std::uint8_t value : {envelope.flags, envelope.loopBegin, envelope.loopEnd,
                               envelope.sustainBegin, envelope.sustainEnd})
        put8(out, value);
    put16(out, 0);
    put16(out, instrument.fadeout);
    put8(out, instrument.newNoteAction);
    put8(out, instrument.duplicateCheckType);
    put16(out, instrument.trackerVersion);
    put8(out, instrument.sampleCount);
    put8(out, 0);
    putText(out, instrument.name, kNameBytes);
    putText(out, "", 6);
    putKeyboard(out, instrument.keyboard);
    // The tracker's own table of the envelope per tick; players read the nodes.
    putText(out, "", kOldEnvelopeTableBytes);
    for (std::size_t i = 0; i < kEnvelopeNodes; ++i) {
        const bool given = i < envelope.nodes.size();
        put8(out, given ? static_cast<std::uint8_t>(envelope.nodes[i].tick) : kOldEnvelopeEnd);
        put8(out, given ? static_cast<std::uint8_t>(envelope.nodes[i].value) : 0);
    }
}

bool compressed(const Sample& sample) {
    return sample.coding == Coding::it214 || sample.coding == Coding::it215;
}

void putSampleHeader(Bytes& out, const Sample& sample) {
    std::uint8_t flags = sample.loopFlags;
    if (!sample.frames.empty()) flags |= kSampleAssociated;
    if (sample.sixteenBit) flags |= kSample16Bit;
    if (!sample.rightFrames.empty()) flags |= kSampleStereo;
    if (compressed(sample)) flags |= kSampleCompressed;
    std::uint8_t convert = sample.coding == Coding::unsignedPlain ? 0 : kConvertSigned;
    if (sample.coding == Coding::it215) convert |= kConvertDelta;
    putText(out, "IMPS", 4);
    putText(out, sample.fileName, kFileNameBytes);
    put8(out, 0);
    put8(out, sample.globalVolume);
    put8(out, sample.storedFlags.value_or(flags));
    put8(out, sample.volume);
    putText(out, sample.name, kNameBytes);
    put8(out, sample.storedConvert.value_or(convert));
    put8(out, sample.defaultPan);
    put32(out, sample.storedLength.value_or(static_cast<std::uint32_t>(sample.frames.size())));
    for (std::uint32_t value :
         {sample.loopBegin, sample.loopEnd, sample.c5Speed, sample.sustainBegin, sample.sustainEnd})
        put32(out, value);
    put32(out, 0);  // sample pointer, set once the data is placed
    for (std::uint8_t value :
         {sample.vibratoSpeed, sample.vibratoDepth, sample.vibratoRate, sample.vibratoType})
        put8(out, value);
}

void putFrames(Bytes& out, const Sample& sample, const std::vector<std::int16_t>& frames) {
    if (compressed(sample)) {
        const Bytes packed =
            compressSample(frames, sample.sixteenBit, sample.coding == Coding::it215);
        out.insert(out.end(), packed.begin(), packed.end());
        return;
    }
    const std::uint16_t flip = sample.coding == Coding::unsignedPlain ? 0x8000 : 0;
    for (std::int16_t frame : frames) {
        const auto value = static_cast<std::uint16_t>(static_cast<std::uint16_t>(frame) ^ flip);
        if (sample.sixteenBit) {
            put16(out, value);
        } else {
            put8(out, static_cast<std::uint8_t>(value >> 8));
        }
    }
}

// What a channel last stored, for IT's packing to repeat it without the bytes.
struct ChannelMemory {
    std::optional<std::uint8_t> mask, note, instrument, volume;
    std::optional<Effect> effect;
};

template <typename Value>
std::uint8_t remember(std::optional<Value>& last, const std::optional<Value>& value,
                      std::uint8_t stored, std::uint8_t repeated) {
    if (!value) return 0;
    if (last == value) return repeated;
    last = value;
    return stored;
}

Bytes packCells(const Module& module, const Pattern& pattern) {
    Bytes packed;
    std::vector<ChannelMemory> memory(static_cast<std::size_t>(std::max(module.channels, 0)));
    for (std::size_t row = 0; row < pattern.rows; ++row) {
        for (std::size_t c = 0; c < memory.size(); ++c) {
            const std::size_t index = row * memory.size() + c;
            if (index >= pattern.cells.size()) break;
            const Cell& cell = pattern.cells[index];
            ChannelMemory& last = memory[c];
            const auto mask = static_cast<std::uint8_t>(
                remember(last.note, cell.note, kMaskNote, kMaskLastNote) |
                remember(last.instrument, cell.instrument, kMaskInstrument, kMaskLastInstrument) |
                remember(last.volume, cell.volume, kMaskVolume, kMaskLastVolume) |
                remember(last.effect, cell.effect, kMaskEffect, kMaskLastEffect));
            if (mask == 0) continue;
            const auto channel = static_cast<std::uint8_t>(c + 1);
            if (last.mask == mask) {
                put8(packed, channel);
            } else {
                put8(packed, channel | kChannelHasMask);
                put8(packed, mask);
                last.mask = mask;
            }
            if (mask & kMaskNote) put8(packed, *cell.note);
            if (mask & kMaskInstrument) put8(packed, *cell.instrument);
            if (mask & kMaskVolume) put8(packed, *cell.volume);
            if (mask & kMaskEffect) {
                put8(packed, cell.effect->command);
                put8(packed, cell.effect->parameter);
            }
        }
        put8(packed, 0);
    }
    return packed;
}

void putPattern(Bytes& out, const Module& module, const Pattern& pattern) {
    const Bytes packed = pattern.packed ? *pattern.packed : packCells(module, pattern);
    put16(out, static_cast<std::uint16_t>(packed.size()));
    put16(out, pattern.rows);
    putText(out, "", kPatternReservedBytes);
    out.insert(out.end(), packed.begin(), packed.end());
}

struct BitWriter {
    Bytes bytes;
    std::uint32_t bitCount = 0;
};

void putBits(BitWriter& writer, std::uint32_t value, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i, ++writer.bitCount) {
        if (writer.bitCount % 8 == 0) writer.bytes.push_back(0);
        if (value >> i & 1)
            writer.bytes.back() |= static_cast<std::uint8_t>(1 << writer.bitCount % 8);
    }
}

// Whether `delta` (taken in the frame's bits) can be stored at `width` without reading as a
// width switch.
bool fits(std::int32_t delta, std::int32_t width, const Depth& depth) {
    if (width > depth.bits) return true;
    const std::int32_t half = 1 << (width - 1);
    if (width < kFirstBandWidth) return delta > -half && delta < half;
    return delta >= -half + depth.band && delta < half - depth.band;
}

void switchWidth(BitWriter& writer, std::int32_t from, std::int32_t to, const Depth& depth) {
    const auto code = static_cast<std::uint32_t>(to < from ? to - 1 : to - 2);
    if (from < kFirstBandWidth) {
        putBits(writer, 1u << (from - 1), from);
        putBits(writer, code, depth.switchBits);
    } else if (from <= depth.bits) {
        putBits(writer, (1u << (from - 1)) - static_cast<std::uint32_t>(depth.band) + code, from);
    } else {
        putBits(writer, 1u << depth.bits | static_cast<std::uint32_t>(to - 1), from);
    }
}

// The deltas of each block start from zero; IT 2.15 stores the deltas of the deltas.
// Adaptive widths fit the next few deltas, so that noise does not switch at every frame;
// otherwise every delta takes the widest.
Bytes compressBlock(const std::int16_t* frames, std::size_t count, bool sixteenBit, bool it215,
                    bool adaptive) {
    const Depth depth = sixteenBit ? kDepth16 : kDepth8;
    const std::int32_t shift = 32 - depth.bits;
    std::vector<std::int32_t> deltas(count);
    std::vector<std::int32_t> needed(count, depth.bits + 1);
    std::int32_t previous = 0;
    std::int32_t previousDelta = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t frame = sixteenBit ? frames[i] : frames[i] >> 8;
        std::int32_t delta = frame - previous;
        previous = frame;
        if (it215) {
            const std::int32_t first = delta;
            delta -= previousDelta;
            previousDelta = first;
        }
        deltas[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(delta) << shift) >> shift;
        if (adaptive) {
            needed[i] = 1;
            while (!fits(deltas[i], needed[i], depth))
                ++needed[i];
        }
    }
    BitWriter writer;
    std::int32_t width = depth.bits + 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t wanted = *std::max_element(
            needed.begin() + static_cast<std::ptrdiff_t>(i),
            needed.begin() + static_cast<std::ptrdiff_t>(std::min(count, i + kWidthLookahead)));
        if (wanted != width) {
            switchWidth(writer, width, wanted, depth);
            width = wanted;
        }
        // The widest width stores the frame's bits with its top bit clear.
        const std::uint32_t valueMask = (1u << std::min(width, depth.bits)) - 1;
        putBits(writer, static_cast<std::uint32_t>(deltas[i]) & valueMask, width);
    }
    Bytes block;
    put16(block, static_cast<std::uint16_t>(writer.bytes.size()));
    block.insert(block.end(), writer.bytes.begin(), writer.bytes.end());
    return block;
}

}  // namespace

std::vector<std::uint8_t> compressSample(const std::vector<std::int16_t>& frames, bool sixteenBit,
                                         bool it215) {
    const std::size_t frameBytes = sixteenBit ? 2 : 1;
    const std::size_t blockFrames = kBlockBytes / frameBytes;
    Bytes out;
    for (std::size_t at = 0; at < frames.size(); at += blockFrames) {
        const std::size_t count = std::min(blockFrames, frames.size() - at);
        Bytes block = compressBlock(frames.data() + at, count, sixteenBit, it215, true);
        // Widths switching at every frame could overflow the block's byte count.
        const std::size_t widestBits = count * (8 * frameBytes + 1);
        if (block.size() > sizeof(std::uint16_t) + (widestBits + 7) / 8)
            block = compressBlock(frames.data() + at, count, sixteenBit, it215, false);
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

std::vector<std::uint8_t> writeModule(const Module& module) {
    Bytes out;
    putHeader(out, module);
    out.insert(out.end(), module.orders.begin(), module.orders.end());
    const std::size_t instrumentOffsets = out.size();
    const std::size_t sampleOffsets = instrumentOffsets + 4 * module.instruments.size();
    const std::size_t patternOffsets = sampleOffsets + 4 * module.samples.size();
    out.resize(patternOffsets + 4 * module.patterns.size());
    const std::uint16_t special = module.special.value_or(0);
    if (special & kSpecialEditHistory) {
        put16(out, module.editHistoryEntries);
        out.resize(out.size() + 8 * std::size_t{module.editHistoryEntries});
    }
    if (special & kSpecialMidiConfiguration) {
        const auto putTexts = [&out](const auto& texts) {
            for (const std::string& text : texts)
                putText(out, text, kMidiTextBytes);
        };
        putTexts(module.midi.global);
        putTexts(module.midi.parametered);
        putTexts(module.midi.fixed);
    }
    if (!module.message.empty()) {
        set32(out, kMessageOffsetAt, out.size());
        putText(out, module.message, module.message.size() + 1);
    }
    for (std::size_t i = 0; i < module.instruments.size(); ++i) {
        set32(out, instrumentOffsets + 4 * i, out.size());
        if (module.compatibleVersion < kFirstNewInstrumentVersion) {
            putOldInstrument(out, module.instruments[i]);
        } else {
            putInstrument(out, module.instruments[i]);
        }
    }
    std::vector<std::size_t> sampleHeaders;
    for (std::size_t i = 0; i < module.samples.size(); ++i) {
        set32(out, sampleOffsets + 4 * i, out.size());
        sampleHeaders.push_back(out.size());
        putSampleHeader(out, module.samples[i]);
    }
    for (std::size_t i = 0; i < module.patterns.size(); ++i) {
        set32(out, patternOffsets + 4 * i, out.size());
        putPattern(out, module, module.patterns[i]);
    }
    for (std::size_t i = 0; i < module.samples.size(); ++i) {
        const Sample& sample = module.samples[i];
        set32(out, sampleHeaders[i] + kSamplePointerAt, sample.samplePointer.value_or(out.size()));
        putFrames(out, sample, sample.frames);
        if (!sample.rightFrames.empty()) putFrames(out, sample, sample.rightFrames);
    }
    return out;
}

}  // namespace it
