#include "writers/xm_writer.h"

#include <algorithm>

#include "writers/module_bytes.h"

namespace xm {
namespace {

using namespace module_bytes;

constexpr std::size_t kMaxOrders = 256;
constexpr std::uint32_t kStandardHeaderSize = 276;  // from the header-size field to the orders' end
constexpr std::uint16_t kVersion = 0x0104;
constexpr std::uint32_t kPatternHeaderSize = 9;
constexpr std::uint32_t kShortInstrumentHeaderSize = 29;
constexpr std::uint32_t kInstrumentHeaderSize = 263;
constexpr std::uint32_t kSampleHeaderSize = 40;
constexpr std::uint8_t kPackedCell = 0x80;
constexpr std::uint8_t kType16Bit = 16;

void putHeader(Bytes& out, const Module& module) {
    const std::size_t orderCount = std::min(module.orders.size(), kMaxOrders);
    putText(out, "Extended Module: ", 17);
    putText(out, module.name, 20);
    put8(out, 0x1A);
    putText(out, "xm_writer", 20);
    put16(out, kVersion);
    put32(out, module.headerSize.value_or(kStandardHeaderSize));
    put16(out, module.songLength.value_or(static_cast<std::uint16_t>(orderCount)));
    put16(out, module.restartPosition);
    put16(out, module.channels);
    put16(out,
          module.storedPatternCount.value_or(static_cast<std::uint16_t>(module.patterns.size())));
    put16(out, module.storedInstrumentCount.value_or(
                   static_cast<std::uint16_t>(module.instruments.size())));
    put16(out, module.linearFrequencies ? 1 : 0);
    put16(out, module.tempo);
    put16(out, module.bpm);
    for (std::size_t i = 0; i < kMaxOrders; ++i)
        put8(out, i < orderCount ? module.orders[i] : 0);
}

void putCell(Bytes& out, const Cell& cell, Packing packing) {
    const std::uint8_t fields[] = {cell.note, cell.instrument, cell.volume, cell.effect,
                                   cell.parameter};
    const bool full = std::none_of(std::begin(fields), std::end(fields),
                                   [](std::uint8_t field) { return field == 0; });
    if (packing == Packing::unpacked || (full && cell.note < kPackedCell)) {
        for (std::uint8_t field : fields)
            put8(out, field);
        return;
    }
    std::uint8_t flags = kPackedCell;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (fields[i] != 0) flags |= static_cast<std::uint8_t>(1 << i);
    }
    put8(out, flags);
    for (std::uint8_t field : fields) {
        if (field != 0) put8(out, field);
    }
}

void putPattern(Bytes& out, const Pattern& pattern, std::uint16_t channels) {
    Bytes data;
    if (pattern.packing != Packing::empty) {
        const std::size_t cellCount = std::size_t{pattern.rows} * channels;
        for (std::size_t i = 0; i < cellCount; ++i) {
            putCell(data, i < pattern.cells.size() ? pattern.cells[i] : Cell{}, pattern.packing);
        }
    }
    put32(out, kPatternHeaderSize);
    put8(out, 0);
    put16(out, pattern.rows);
    put16(out, static_cast<std::uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

void putEnvelopePoints(Bytes& out, const Envelope& envelope) {
    for (std::size_t i = 0; i < kEnvelopePoints; ++i) {
        const EnvelopePoint point =
            i < envelope.points.size() ? envelope.points[i] : EnvelopePoint{};
        put16(out, point.tick);
        put16(out, point.value);
    }
}

std::uint8_t storedPointCount(const Envelope& envelope) {
    return envelope.storedPointCount.value_or(
        static_cast<std::uint8_t>(std::min<std::size_t>(envelope.points.size(), kEnvelopePoints)));
}

std::uint32_t bytesPerFrame(const Sample& sample) {
    return sample.sixteenBit ? 2 : 1;
}

void putSampleHeader(Bytes& out, const Sample& sample) {
    const std::uint32_t width = bytesPerFrame(sample);
    const auto type = static_cast<std::uint8_t>(static_cast<std::uint8_t>(sample.loop) |
                                                (sample.sixteenBit ? kType16Bit : 0));
    put32(out,
          sample.storedLength.value_or(static_cast<std::uint32_t>(sample.frames.size()) * width));
    put32(out, sample.loopStart * width);
    put32(out, sample.loopLength * width);
    put8(out, sample.volume);
    put8(out, static_cast<std::uint8_t>(sample.finetune));
    put8(out, sample.typeByte.value_or(type));
    put8(out, sample.panning);
    put8(out, static_cast<std::uint8_t>(sample.relativeNote));
    put8(out, 0);
    putText(out, sample.name, 22);
}

// Each stored value is the difference to the one before.
void putSampleData(Bytes& out, const Sample& sample) {
    std::uint16_t previous = 0;
    for (std::int16_t frame : sample.frames) {
        if (sample.sixteenBit) {
            const auto value = static_cast<std::uint16_t>(frame);
            put16(out, static_cast<std::uint16_t>(value - previous));
            previous = value;
        } else {
            const auto value = static_cast<std::uint8_t>(static_cast<std::uint16_t>(frame) >> 8);
            put8(out, static_cast<std::uint8_t>(value - previous));
            previous = value;
        }
    }
}

void putInstrument(Bytes& out, const Instrument& instrument) {
    const std::uint16_t sampleCount = instrument.storedSampleCount.value_or(
        static_cast<std::uint16_t>(instrument.samples.size()));
    const std::uint32_t written =
        sampleCount > 0 ? kInstrumentHeaderSize : kShortInstrumentHeaderSize;
    put32(out, instrument.headerSize.value_or(written));
    putText(out, instrument.name, 22);
    put8(out, 0);
    put16(out, sampleCount);
    if (sampleCount == 0) return;
    put32(out, kSampleHeaderSize);
    out.insert(out.end(), instrument.keymap.begin(), instrument.keymap.end());
    const Envelope& volume = instrument.volumeEnvelope;
    const Envelope& panning = instrument.panningEnvelope;
    putEnvelopePoints(out, volume);
    putEnvelopePoints(out, panning);
    for (std::uint8_t value :
         {storedPointCount(volume), storedPointCount(panning), volume.sustainPoint,
          volume.loopStart, volume.loopEnd, panning.sustainPoint, panning.loopStart,
          panning.loopEnd, volume.type, panning.type, instrument.vibratoType,
          instrument.vibratoSweep, instrument.vibratoDepth, instrument.vibratoRate}) {
        put8(out, value);
    }
    put16(out, instrument.fadeout);
    putText(out, "", 22);
    for (const Sample& sample : instrument.samples)
        putSampleHeader(out, sample);
    for (const Sample& sample : instrument.samples)
        putSampleData(out, sample);
}

}  // namespace

std::vector<std::uint8_t> writeModule(const Module& module) {
    Bytes out;
    putHeader(out, module);
    for (const Pattern& pattern : module.patterns)
        putPattern(out, pattern, module.channels);
    for (const Instrument& instrument : module.instruments)
        putInstrument(out, instrument);
    return out;
}

}  // namespace xm
