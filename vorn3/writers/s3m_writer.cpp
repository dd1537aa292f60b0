#include "writers/s3m_writer.h"

#include <algorithm>

#include "writers/module_bytes.h"

namespace s3m {
namespace {

using namespace module_bytes;

constexpr std::size_t kParagraph = 16;
constexpr std::size_t kInstrumentBytes = 80;
constexpr std::uint8_t kPanningTableFollows = 252;
constexpr std::uint16_t kUnsigned = 2;
constexpr std::uint8_t kHasNote = 32;
constexpr std::uint8_t kHasVolume = 64;
constexpr std::uint8_t kHasCommand = 128;

void padToParagraph(Bytes& out) {
    while (out.size() % kParagraph != 0)
        put8(out, 0);
}

void setPointer(Bytes& out, std::size_t at, std::size_t offset) {
    const auto paragraphs = static_cast<std::uint16_t>(offset / kParagraph);
    out[at] = static_cast<std::uint8_t>(paragraphs);
    out[at + 1] = static_cast<std::uint8_t>(paragraphs >> 8);
}

std::array<std::uint8_t, kChannels> defaultSettings(std::int32_t channels) {
    std::array<std::uint8_t, kChannels> settings{};
    settings.fill(kDisabled);
    for (std::int32_t c = 0; c < std::min(channels, kChannels); ++c)
        settings[c] =
            static_cast<std::uint8_t>(c % 4 == 0 || c % 4 == 3 ? c / 2 % 8 : 8 + c / 2 % 8);
    return settings;
}

void putHeader(Bytes& out, const Module& module) {
    putText(out, module.title, 28);
    put8(out, 0x1A);
    put8(out, 16);
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(module.orders.size()));
    put16(out, static_cast<std::uint16_t>(module.instruments.size()));
    put16(out, static_cast<std::uint16_t>(module.patterns.size()));
    put16(out, module.flags);
    put16(out, module.version);
    put16(out, module.sampleFormat);
    putText(out, "SCRM", 4);
    put8(out, module.globalVolume);
    put8(out, module.speed);
    put8(out, module.tempo);
    put8(out, module.masterVolume);
    put8(out, 0);  // click removal
    put8(out, module.panningTable ? kPanningTableFollows : 0);
    putText(out, "", 10);
    for (std::uint8_t setting : module.channelSettings.value_or(defaultSettings(module.channels)))
        put8(out, setting);
}

void putPattern(Bytes& out, const Module& module, const Pattern& pattern) {
    Bytes packed;
    for (std::int32_t row = 0; row < kRows; ++row) {
        for (std::int32_t c = 0; c < module.channels; ++c) {
            const auto index = static_cast<std::size_t>(row * module.channels + c);
            if (index >= pattern.cells.size()) continue;
            const Cell& cell = pattern.cells[index];
            std::uint8_t what = static_cast<std::uint8_t>(c);
            if (cell.note != kNoNote || cell.instrument != 0) what |= kHasNote;
            if (cell.volume != kNoVolume) what |= kHasVolume;
            if (cell.command != 0) what |= kHasCommand;
            if (what == c) continue;
            put8(packed, what);
            if (what & kHasNote) {
                put8(packed, cell.note);
                put8(packed, cell.instrument);
            }
            if (what & kHasVolume) put8(packed, cell.volume);
            if (what & kHasCommand) {
                put8(packed, cell.command);
                put8(packed, cell.info);
            }
        }
        put8(packed, 0);
    }
    put16(out, static_cast<std::uint16_t>(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
}

void putFrames(Bytes& out, const Module& module, const Instrument& instrument) {
    const std::uint16_t flip = module.sampleFormat == kUnsigned ? 0x8000 : 0;
    for (std::int16_t frame : instrument.frames) {
        const auto value = static_cast<std::uint16_t>(static_cast<std::uint16_t>(frame) ^ flip);
        if (instrument.sixteenBit) {
            put16(out, value);
        } else {
            put8(out, static_cast<std::uint8_t>(value >> 8));
        }
    }
}

}  // namespace

std::vector<std::uint8_t> writeModule(const Module& module) {
    Bytes out;
    putHeader(out, module);
    out.insert(out.end(), module.orders.begin(), module.orders.end());
    const std::size_t instrumentPointers = out.size();
    out.resize(out.size() + 2 * module.instruments.size());
    const std::size_t patternPointers = out.size();
    out.resize(out.size() + 2 * module.patterns.size());
    if (module.panningTable)
        out.insert(out.end(), module.panningTable->begin(), module.panningTable->end());

    std::vector<std::size_t> instrumentAt;
    for (std::size_t i = 0; i < module.instruments.size(); ++i) {
        padToParagraph(out);
        setPointer(out, instrumentPointers + 2 * i, out.size());
        instrumentAt.push_back(out.size());
        out.resize(out.size() + kInstrumentBytes);
    }
    for (std::size_t i = 0; i < module.patterns.size(); ++i) {
        padToParagraph(out);
        setPointer(out, patternPointers + 2 * i, out.size());
        putPattern(out, module, module.patterns[i]);
    }
    for (std::size_t i = 0; i < module.instruments.size(); ++i) {
        const Instrument& instrument = module.instruments[i];
        padToParagraph(out);
        const std::size_t dataAt = out.size();
        putFrames(out, module, instrument);
        Bytes header;
        put8(header, instrument.type);
        putText(header, instrument.name, 12);
        put8(header, static_cast<std::uint8_t>(dataAt / kParagraph >> 16));
        put16(header, static_cast<std::uint16_t>(dataAt / kParagraph));
        put32(header, instrument.storedLength.value_or(
                          static_cast<std::uint32_t>(instrument.frames.size())));
        put32(header, instrument.loopStart);
        put32(header, instrument.loopEnd);
        put8(header, instrument.volume);
        put8(header, 0);
        put8(header, 0);  // not packed
        put8(header, static_cast<std::uint8_t>((instrument.loop ? 1 : 0) |
                                               (instrument.sixteenBit ? 4 : 0)));
        put32(header, instrument.c2Speed);
        putText(header, "", 12);
        putText(header, instrument.name, 28);
        putText(header, "SCRS", 4);
        std::copy(header.begin(), header.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(instrumentAt[i]));
    }
    return out;
}

}  // namespace s3m
