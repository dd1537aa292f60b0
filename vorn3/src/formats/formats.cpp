#include "formats/formats.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "formats/reader.h"
#include "module/pitch.h"

namespace vorn3 {
namespace {

struct ModuleFormat {
    const char* name;
    bool (*recognises)(const FileHead& head);
    bool (*load)(ModuleLoad& load);
    std::int64_t (*headerBytes)(const FileHead& head);
};

// Formats are told apart by content, never by the name the stream was opened with; the
// form without a mark comes last.
constexpr std::array kFormats{
    ModuleFormat{"XM", recognisesXm, loadXm, xmHeaderBytes},
    ModuleFormat{"S3M", recognisesS3m, loadS3m, s3mHeaderBytes},
    ModuleFormat{"IT", recognisesIt, loadIt, itHeaderBytes},
    ModuleFormat{"MOD", recognisesMod, loadMod, modHeaderBytes},
    ModuleFormat{"MOD", recognisesSoundtracker, loadMod, soundtrackerHeaderBytes},
};

constexpr std::array<Command, 27> kCommandOfLetter{
    Command::none,
    Command::speed,                      // A
    Command::positionJump,               // B
    Command::patternBreak,               // C
    Command::volumeSlide,                // D
    Command::slideDown,                  // E
    Command::slideUp,                    // F
    Command::tonePortamento,             // G
    Command::vibrato,                    // H
    Command::tremor,                     // I
    Command::arpeggio,                   // J
    Command::vibratoVolumeSlide,         // K
    Command::tonePortamentoVolumeSlide,  // L
    Command::none,                       // M channel volume
    Command::none,                       // N channel volume slide
    Command::sampleOffset,               // O
    Command::none,                       // P panning slide
    Command::multiRetrigger,             // Q
    Command::tremolo,                    // R
    Command::extended,                   // S
    Command::speedOrTempo,               // T tempo, as the BPM half of F
    Command::fineVibrato,                // U
    Command::setGlobalVolume,            // V
    Command::none,                       // W global volume slide
    Command::setPanning,                 // X
    Command::none,                       // Y panbrello
    Command::none,                       // Z macro
};

constexpr std::uint8_t kSkipOrder = 254;
constexpr std::uint8_t kEndOrder = 255;
constexpr std::uint32_t kLowestRate = 1000;
constexpr std::uint32_t kHighestRate = 1 << 20;

}  // namespace

bool readPlayedOrders(Reader& reader, Module& module, std::int32_t storedCount,
                      PlayedOrders& orders) {
    std::array<std::uint8_t, kMaxOrders> stored{};
    const std::int32_t count = std::min(storedCount, kMaxOrders);
    readBytes(reader, stored.data(), count);
    std::int32_t played = 0;
    std::array<std::int32_t, kMaxOrders> nextPlayed{};
    for (std::int32_t i = 0; i < count; ++i) {
        nextPlayed[i] = played;
        if (stored[i] == kEndOrder && played > 0) module.sectionEnds[played - 1] = true;
        if (stored[i] == kEndOrder || stored[i] == kSkipOrder) continue;
        module.orderTable[played++] = stored[i];
    }
    for (std::int32_t i = 0; i < count; ++i)
        orders.jumpTarget[i] =
            static_cast<std::uint8_t>(nextPlayed[i] < played ? nextPlayed[i] : 0);
    module.songLength = static_cast<std::int16_t>(played);
    module.restartPosition = 0;
    return played > 0;
}

void limitEnvelope(Envelope& envelope, std::int32_t storedPoints, std::int32_t maxPoints) {
    std::int32_t count = std::min(storedPoints, maxPoints);
    for (std::int32_t i = 1; i < count; ++i) {
        if (envelope.points[i].tick < envelope.points[i - 1].tick) count = i;
    }
    envelope.pointCount = static_cast<std::uint8_t>(count);
    if (envelope.sustainPoint >= count || envelope.sustainEnd >= count) {
        envelope.type &= ~kEnvelopeSustain;
    }
    if (envelope.loopStart >= count || envelope.loopEnd >= count) envelope.type &= ~kEnvelopeLoop;
    if (count < 2) envelope.type = 0;
}

Command commandOfLetter(std::uint8_t letter) {
    return letter < kCommandOfLetter.size() ? kCommandOfLetter[letter] : Command::none;
}

void tuneToRate(Sample& sample, std::uint32_t hz) {
    const std::int32_t tuning = tuningOfRate(std::clamp(hz, kLowestRate, kHighestRate));
    const auto whole = static_cast<std::int32_t>(std::floor(tuning / double{kFinetuneSteps}));
    sample.relativeNote = static_cast<std::int8_t>(whole);
    sample.finetune = static_cast<std::int8_t>(tuning - whole * kFinetuneSteps);
}

std::uint32_t headField(const FileHead& head, std::int64_t offset, std::int32_t bytes) {
    std::uint32_t value = 0;
    for (std::int32_t i = bytes - 1; i >= 0; --i)
        value = value << 8 | (offset + i < head.length ? head.bytes[offset + i] : 0u);
    return value;
}

Probe probeHead(const FileHead& head) {
    for (const ModuleFormat& format : kFormats) {
        if (format.recognises(head)) return {format.name, format.headerBytes(head)};
    }
    return {nullptr, 0};
}

const Module* loadModule(SongStream* stream, SampleDataHook sampleDataHook, LoadReport* report) {
    LoadReport unused;
    LoadReport& found = report ? *report : unused;
    Reader reader = openReader(stream);
    std::uint8_t bytes[kHeadBytes];
    const FileHead head{bytes, std::min(reader.size, kHeadBytes), reader.size};
    readBytes(reader, bytes, head.length);
    for (const ModuleFormat& format : kFormats) {
        if (!format.recognises(head)) continue;
        found.format = format.name;
        Module* module = moduleCreate();
        if (!module) return nullptr;
        seekTo(reader, 0);
        ModuleLoad load{reader, *module, sampleDataHook};
        const bool loaded = format.load(load);
        if (reader.cutNeeded) found.endsInside = reader.cutNeeded->name;
        if (reader.cutShort) found.cutShort = reader.cutShort->name;
        if (loaded && !reader.cutNeeded) return module;
        moduleRelease(module);
        return nullptr;
    }
    return nullptr;
}

}  // namespace vorn3
