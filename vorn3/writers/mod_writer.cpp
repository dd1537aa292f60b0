#include "writers/mod_writer.h"

#include <algorithm>

#include "writers/module_bytes.h"

namespace mod {
namespace {

using namespace module_bytes;

constexpr std::size_t kOrderBytes = 128;
constexpr std::size_t kMarkedSamples = 31;
constexpr std::size_t kUnmarkedSamples = 15;

void putSampleHeader(Bytes& out, const Sample& sample) {
    putText(out, sample.name, 22);
    putBigEndian16(
        out, sample.storedLength.value_or(static_cast<std::uint16_t>(sample.data.size() / 2)));
    put8(out, sample.finetune & 15);
    put8(out, sample.volume);
    putBigEndian16(out, sample.loopStart);
    putBigEndian16(out, sample.loopLength);
}

void putCell(Bytes& out, const Cell& cell) {
    put8(out, static_cast<std::uint8_t>((cell.sample & 0xF0) | (cell.period >> 8 & 0x0F)));
    put8(out, static_cast<std::uint8_t>(cell.period));
    put8(out, static_cast<std::uint8_t>((cell.sample & 0x0F) << 4 | (cell.effect & 0x0F)));
    put8(out, cell.parameter);
}

}  // namespace

std::vector<std::uint8_t> writeModule(const Module& module) {
    Bytes out;
    putText(out, module.title, 20);
    const std::size_t sampleCount = module.mark.empty() ? kUnmarkedSamples : kMarkedSamples;
    for (std::size_t i = 0; i < sampleCount; ++i)
        putSampleHeader(out, i < module.samples.size() ? module.samples[i] : Sample{});
    const std::size_t orderCount = std::min(module.orders.size(), kOrderBytes);
    put8(out, module.songLength.value_or(static_cast<std::uint8_t>(orderCount)));
    put8(out, module.restart);
    for (std::size_t i = 0; i < kOrderBytes; ++i)
        put8(out, i < orderCount ? module.orders[i] : 0);
    if (!module.mark.empty()) putText(out, module.mark, 4);
    const auto cellsPerPattern = static_cast<std::size_t>(kRows * module.channels);
    for (const Pattern& pattern : module.patterns) {
        for (std::size_t i = 0; i < cellsPerPattern; ++i)
            putCell(out, i < pattern.cells.size() ? pattern.cells[i] : Cell{});
    }
    for (std::size_t i = 0; i < std::min(sampleCount, module.samples.size()); ++i) {
        const std::vector<std::int8_t>& data = module.samples[i].data;
        for (std::size_t k = 0; k < data.size() / 2 * 2; ++k)
            put8(out, static_cast<std::uint8_t>(data[k]));
    }
    return out;
}

}  // namespace mod
