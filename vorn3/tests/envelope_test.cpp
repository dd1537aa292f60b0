// Instrument envelopes, key off, fadeout, effect L and auto-vibrato, tick by tick.
#include <gtest/gtest.h>

#include <vector>

#include "mixer/voice.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

constexpr std::uint8_t kC4 = 49;
constexpr std::uint8_t kKeyOffEffect = 20;
constexpr std::uint8_t kEnvelopePosition = 21;
constexpr std::uint8_t kOn = 1;
constexpr std::uint8_t kSustain = 2;
constexpr std::uint8_t kLoop = 4;

xm::Module withVolumeEnvelope(std::vector<xm::Cell> cells, std::uint16_t tempo,
                              xm::Envelope envelope) {
    xm::Module module = rowsModule(std::move(cells), tempo);
    module.instruments[0].volumeEnvelope = std::move(envelope);
    return module;
}

TEST_F(TickingTest, ALoopReturnsToItsStartPointsTickAtItsEnd) {
    SongPtr song = start(withVolumeEnvelope(
        {noteCell(kC4)}, 32,
        {.points = {{0, 64}, {4, 32}, {8, 0}}, .loopStart = 1, .loopEnd = 2, .type = kOn | kLoop}));
    expectTicks(*song, {56, 48, 40, 32, 24, 16, 8, 0, 24, 16, 8, 0, 24, 16},
                [&] { return song->channels[0].playing.volumeEnvelope.output; });
    EXPECT_FALSE(song->channels[0].playing.volumeEnvelope.done);
}

TEST_F(TickingTest, ASustainHoldsUntilKeyOffAndFadeout0KeepsFullVolume) {
    SongPtr song = start(withVolumeEnvelope(
        {noteCell(kC4), {.note = xm::kKeyOff}}, 8,
        {.points = {{0, 64}, {4, 32}, {8, 0}}, .sustainPoint = 1, .type = kOn | kSustain}));
    const Channel& channel = song->channels[0];
    expectTicks(*song, {56, 48, 40, 32, 32, 32, 32, 32, 24, 16, 8, 0, 0, 0, 0, 0},
                [&] { return channel.playing.volumeEnvelope.output; });
    EXPECT_TRUE(channel.playing.keyOff);
    EXPECT_TRUE(channel.playing.volumeEnvelope.done);
    EXPECT_EQ(channel.playing.fadeoutVolume, 65536);
}

TEST_F(TickingTest, PointsSharingATickGiveSlope0) {
    SongPtr song = start(withVolumeEnvelope(
        {noteCell(kC4)}, 16, {.points = {{0, 64}, {4, 32}, {4, 0}, {8, 16}}, .type = kOn}));
    expectTicks(*song, {56, 48, 40, 32, 32, 32, 32, 32, 32, 32},
                [&] { return song->channels[0].playing.volumeEnvelope.output; });
    EXPECT_EQ(song->channels[0].playing.volumeEnvelope.slope, 0);
}

TEST_F(TickingTest, ThePanningEnvelopeStepsToItsLastPoint) {
    xm::Module module = rowsModule({noteCell(kC4)}, 8);
    module.instruments[0].panningEnvelope = {.points = {{0, 32}, {4, 64}}, .type = kOn};
    SongPtr song = start(module);
    expectTicks(*song, {40, 48, 56, 64, 64},
                [&] { return song->channels[0].playing.panningEnvelope.output; });
    EXPECT_TRUE(song->channels[0].playing.panningEnvelope.done);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->panning, 128 + 4 * 32);
}

TEST_F(TickingTest, EffectLMovesTheVolumeEnvelopeAndStopsAtTheLastPoint) {
    xm::Module module = withVolumeEnvelope(
        {noteCell(kC4), effectCell(kEnvelopePosition, 5), effectCell(kEnvelopePosition, 0xFF)}, 4,
        {.points = {{0, 64}, {10, 0}}, .type = kOn});
    module.instruments[0].panningEnvelope = {.points = {{0, 32}, {100, 64}}, .type = kOn};
    SongPtr song = start(module);
    const Channel& channel = song->channels[0];
    expectTicks(*song, {57, 51, 44, 38, 32, 25, 19, 12},
                [&] { return channel.playing.volumeEnvelope.output; });
    EXPECT_EQ(channel.playing.volumeEnvelope.tick, 8);
    EXPECT_EQ(channel.playing.panningEnvelope.tick, 8);  // untouched
    runTicks(*song, 1);
    EXPECT_TRUE(channel.playing.volumeEnvelope.done);
    EXPECT_EQ(channel.playing.volumeEnvelope.output, 0);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->volume, 0);

    // Without a volume envelope nothing moves.
    song = start(rowsModule({noteCell(kC4, kEnvelopePosition, 5)}, 4));
    runTicks(*song, 1);
    EXPECT_EQ(song->channels[0].playing.volumeEnvelope.tick, 0);
    EXPECT_EQ(song->channels[0].playing.volumeEnvelope.output, 64);
}

TEST_F(TickingTest, EffectKReleasesTheNoteAndTheFadeoutFallsEveryTick) {
    xm::Module module = withVolumeEnvelope({noteCell(kC4), effectCell(kKeyOffEffect, 0)}, 4,
                                           {.points = {{0, 64}, {1, 64}}, .type = kOn});
    module.instruments[0].fadeout = 128;
    SongPtr song = start(module);
    runTicks(*song, 4);
    EXPECT_FALSE(song->channels[0].playing.keyOff);
    expectTicks(*song, {65536 - 256, 65536 - 512, 65536 - 768, 65536 - 1024},
                [&] { return song->channels[0].playing.fadeoutVolume; });
    EXPECT_TRUE(song->channels[0].playing.keyOff);
}

TEST_F(TickingTest, AutoVibratoWaveformsDepthAndSweep) {
    const struct {
        std::uint8_t type, sweep, depth, rate;
        std::vector<std::int32_t> deltas;
    } cases[] = {
        // Sine of depth 4 at rate 21: ±4 at most, a cycle about every 12 ticks.
        {0, 0, 4, 21, {0, 1, 3, 3, 3, 2, 0, -2, -4, -4, -4, -3, -1, 1}},
        {1, 0, 4, 32, {4, 4, 4, 4, -4, -4, -4, -4, 4}},
        {2, 0, 64, 64, {0, -32, 64, 32, 0}},
        {3, 0, 64, 64, {0, 32, 64, -32, 0}},
        {1, 4, 4, 0, {0, 1, 2, 3, 4, 4, 4}},  // the sweep grows the depth over 4 ticks
    };
    for (const auto& each : cases) {
        xm::Module module = rowsModule({noteCell(kC4)}, 16);
        module.instruments[0].vibratoType = each.type;
        module.instruments[0].vibratoSweep = each.sweep;
        module.instruments[0].vibratoDepth = each.depth;
        module.instruments[0].vibratoRate = each.rate;
        SongPtr song = start(module);
        expectTicks(*song, each.deltas, [&] { return song->channels[0].periodDelta; });
    }
}

}  // namespace
}  // namespace vorn3
