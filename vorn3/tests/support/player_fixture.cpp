#include "support/player_fixture.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "mixer/mixer.h"
#include "player/player.h"

namespace vorn3 {
namespace {

// Modules by name, and the one every other name opens.
std::map<std::string, std::vector<std::uint8_t>, std::less<>> named;
std::vector<std::uint8_t> served;

}  // namespace

void* memoryOpen(const char* name) {
    const auto found = named.find(std::string_view(name));
    const std::vector<std::uint8_t>& bytes = found == named.end() ? served : found->second;
    return new MemoryStream{bytes.data(), static_cast<std::int32_t>(bytes.size())};
}

void memoryClose(void* handle) {
    delete static_cast<MemoryStream*>(handle);
}

void serveAs(const char* name, std::vector<std::uint8_t> bytes) {
    named[name] = std::move(bytes);
}

void PlayerTest::SetUp() {
    resetPlayer(defaultPlayer());
    setStreamCallbacks(memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell);
}

void PlayerTest::TearDown() {
    resetPlayer(defaultPlayer());
    served = {};
    named.clear();
}

void PlayerTest::serve(std::vector<std::uint8_t> bytes) {
    served = std::move(bytes);
}

SongPtr PlayerTest::load(std::vector<std::uint8_t> bytes, SampleDataHook hook) {
    serve(std::move(bytes));
    return SongPtr(songCreate("test.xm", hook));
}

xm::Sample rampSample(std::uint32_t length, bool sixteenBit) {
    xm::Sample sample;
    sample.sixteenBit = sixteenBit;
    for (std::uint32_t i = 0; i < length; ++i) {
        sample.frames.push_back(static_cast<std::int16_t>((i * 997 % 251) * 256 - 32000));
    }
    return sample;
}

xm::Module smallModule() {
    xm::Module module;
    module.patterns.push_back({});
    xm::Instrument instrument;
    instrument.samples.push_back(rampSample(64));
    module.instruments.push_back(instrument);
    return module;
}

xm::Module droneModule() {
    xm::Module module = smallModule();
    module.channels = 1;
    module.tempo = 7;
    module.bpm = 135;
    xm::Sample& sample = module.instruments[0].samples[0];
    sample.frames.assign(64, 12000);
    sample.loop = xm::Loop::forward;
    sample.loopLength = 64;
    module.patterns[0].rows = 4;
    module.patterns[0].cells = {{.note = 49, .instrument = 1}, {}, {.note = 61}, {}};
    return module;
}

xm::Cell noteCell(std::uint8_t value, std::uint8_t effect, std::uint8_t parameter) {
    return {.note = value, .instrument = 1, .effect = effect, .parameter = parameter};
}

xm::Cell effectCell(std::uint8_t number, std::uint8_t parameter) {
    return {.effect = number, .parameter = parameter};
}

xm::Cell columnCell(std::uint8_t volume, std::uint8_t number, std::uint8_t parameter) {
    return {.volume = volume, .effect = number, .parameter = parameter};
}

xm::Module patternsModule(std::vector<std::vector<xm::Cell>> cells, std::uint16_t tempo,
                          std::uint16_t channels) {
    xm::Module module = smallModule();
    module.channels = channels;
    module.tempo = tempo;
    module.patterns.clear();
    module.orders.clear();
    for (auto& pattern : cells) {
        module.orders.push_back(static_cast<std::uint8_t>(module.patterns.size()));
        const auto rowCount = static_cast<std::uint16_t>(pattern.size() / channels);
        module.patterns.push_back({.rows = rowCount, .cells = std::move(pattern)});
    }
    return module;
}

xm::Module rowsModule(std::vector<xm::Cell> cells, std::uint16_t tempo, std::uint16_t channels) {
    return patternsModule({std::move(cells)}, tempo, channels);
}

void TickingTest::SetUp() {
    PlayerTest::SetUp();
    ASSERT_TRUE(openAudio(44100));
}

SongPtr TickingTest::start(std::vector<std::uint8_t> bytes) {
    SongPtr song = load(std::move(bytes));
    EXPECT_TRUE(songStart(song.get()));
    return song;
}

void TickingTest::runTicks(Song& song, std::int32_t ticks) {
    for (std::int32_t i = 0; i < ticks; ++i)
        song.tickHook(song);
}

void expectPlayable(const Song& song) {
    ASSERT_GE(song.module->songLength, 1);
    ASSERT_LE(song.module->songLength, kMaxOrders);
    ASSERT_GE(song.module->channelCount, 1);
    ASSERT_LE(song.module->channelCount, 256);
    EXPECT_GE(song.module->restartPosition, 0);
    EXPECT_LT(song.module->restartPosition, song.module->songLength);
    EXPECT_GE(song.module->defaultBpm, 32);
    EXPECT_LE(song.module->defaultBpm, 255);
    EXPECT_NE(song.tickHook, nullptr);
    for (std::int32_t order = 0; order < song.module->songLength; ++order) {
        ASSERT_LT(song.module->orderTable[order], song.module->patternSlotCount);
    }
    for (std::int32_t i = 0; i < song.module->patternSlotCount; ++i) {
        const PatternSlot& slot = song.module->patterns[i];
        ASSERT_GE(slot.rows, 1);
        ASSERT_LE(slot.rows, 256);
        ASSERT_NE(slot.cells, nullptr);
        for (std::int32_t cell = 0; cell < slot.rows * song.module->channelCount; ++cell) {
            const std::uint8_t note = slot.cells[cell].note;
            EXPECT_TRUE(note <= kNoteCount || note == kKeyOff || note == kNoteCut || note == kNoteFade);
            EXPECT_LE(slot.cells[cell].instrument, 128);
        }
    }
    for (std::int32_t i = 0; i < song.module->instrumentCount; ++i) {
        const Instrument& instrument = song.module->instruments[i];
        ASSERT_GE(instrument.firstSample, 0);
        ASSERT_LE(instrument.firstSample + instrument.sampleCount, song.module->sampleCount);
        for (const std::int16_t sample : instrument.noteSamples) {
            EXPECT_TRUE(sample == kNoSample || (sample >= 0 && sample < song.module->sampleCount));
        }
        for (const Envelope* envelope :
             {&instrument.volumeEnvelope, &instrument.panningEnvelope, &instrument.pitchEnvelope}) {
            EXPECT_LE(envelope->pointCount, kMaxEnvelopePoints);
            if (envelope->type & kEnvelopeSustain) {
                EXPECT_LT(envelope->sustainPoint, envelope->pointCount);
            }
            if (envelope->type & kEnvelopeLoop) {
                EXPECT_LT(envelope->loopStart, envelope->pointCount);
                EXPECT_LT(envelope->loopEnd, envelope->pointCount);
            }
            if (envelope->pointCount < 2) {
                EXPECT_EQ(envelope->type, 0);
            }
        }
    }
    for (std::int32_t i = 0; i < song.module->sampleCount; ++i) {
        const Sample& sample = song.module->samples[i];
        EXPECT_LE(sample.volume, 64);
        EXPECT_EQ(sample.data == nullptr, sample.length == 0);
        EXPECT_LE(std::uint64_t{sample.loopStart} + sample.loopLength, sample.length);
        if (sample.length > 0) {
            EXPECT_GE(sample.loopLength, 1u);
            EXPECT_EQ(sample.bits, 16);
        }
    }
}

std::vector<std::int16_t> playAndPump(VirtualWaveDevice& device, std::int32_t frames) {
    constexpr std::int32_t kPoll = 88;  // frames the device plays in the thread's 2 ms pause
    std::vector<std::int16_t> heard(2 * static_cast<std::size_t>(frames));
    for (std::int32_t done = 0; done < frames;) {
        const std::int32_t step = std::min(kPoll, frames - done);
        device.play(step, heard.data() + 2 * done);
        done += step;
        pumpAudio();
    }
    return heard;
}

}  // namespace vorn3
