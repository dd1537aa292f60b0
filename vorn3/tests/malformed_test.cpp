// Files no tracker writes: each must fail to load or load into a song that plays safely.
#include <gtest/gtest.h>

#include <random>

#include "support/player_fixture.h"

namespace vorn3 {
namespace {

using MalformedTest = PlayerTest;

// Instruments, envelopes, loops and patterns of every kind, for truncation and corruption.
xm::Module richModule() {
    xm::Module module;
    module.channels = 3;
    module.orders = {0, 1, 0, 3};
    module.patterns.push_back({.rows = 4, .cells = {{49, 1, 0x40, 0x0C, 0x20}, {97}, {50, 2}}});
    module.patterns.push_back({.rows = 2, .cells = {{60, 1}}, .packing = xm::Packing::unpacked});
    module.patterns.push_back({.rows = 8, .packing = xm::Packing::empty});
    xm::Instrument first;
    first.volumeEnvelope = {.points = {{0, 64}, {4, 32}, {8, 0}}, .sustainPoint = 1, .type = 3};
    first.panningEnvelope = {
        .points = {{0, 32}, {4, 0}, {8, 64}}, .loopStart = 0, .loopEnd = 2, .type = 5};
    first.fadeout = 300;
    xm::Sample looped = rampSample(40);
    looped.loop = xm::Loop::forward;
    looped.loopStart = 8;
    looped.loopLength = 16;
    xm::Sample bouncing = rampSample(30, false);
    bouncing.loop = xm::Loop::pingPong;
    bouncing.loopStart = 2;
    bouncing.loopLength = 20;
    first.samples = {looped, bouncing};
    first.keymap.fill(1);
    module.instruments = {first, {}, smallModule().instruments[0]};
    return module;
}

TEST_F(MalformedTest, ChannelCountsOutsideThePoolFail) {
    xm::Module module = smallModule();
    for (std::uint16_t channels : {0, 257, 0x8000}) {
        module.channels = channels;
        EXPECT_FALSE(load(module)) << channels;
    }
    module.channels = 256;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    expectPlayable(*song);
}

TEST_F(MalformedTest, SongLengthsOutsideTheOrderTableFail) {
    xm::Module module = smallModule();
    for (std::uint16_t length : {0, 257, 0xFFFF}) {
        module.songLength = length;
        EXPECT_FALSE(load(module)) << length;
    }
    module.songLength = 256;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    expectPlayable(*song);
}

TEST_F(MalformedTest, TooManyPatternsOrInstrumentsFail) {
    xm::Module module = smallModule();
    module.storedPatternCount = 257;
    EXPECT_FALSE(load(module));
    module.storedPatternCount.reset();
    for (std::uint16_t count : {129, 0x8000}) {
        module.storedInstrumentCount = count;
        EXPECT_FALSE(load(module)) << count;
    }
}

TEST_F(MalformedTest, RowCountsOutsideOneTo256) {
    xm::Module module = smallModule();
    module.patterns[0] = {.rows = 0, .cells = {{49, 1}}};
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->patterns[0].rows, 64);
    expectPlayable(*song);

    module.patterns[0] = {.rows = 256, .cells = {{49, 1}}};
    song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->patterns[0].rows, 256);
    EXPECT_EQ(song->module->patterns[0].cells[0].note, 49);

    module.patterns[0].rows = 257;
    EXPECT_FALSE(load(module));
}

TEST_F(MalformedTest, RestartPositionOutsideTheSongBecomesZero) {
    xm::Module module = smallModule();
    module.orders = {0, 0, 0};
    for (std::uint16_t restart : {3, 0xFFFF}) {
        module.restartPosition = restart;
        SongPtr song = load(module);
        ASSERT_TRUE(song);
        EXPECT_EQ(song->module->restartPosition, 0);
    }
}

TEST_F(MalformedTest, BpmIsKeptWithinTheRangeEffectFCanSet) {
    xm::Module module = smallModule();
    const std::pair<std::uint16_t, std::int16_t> cases[] = {
        {0, 32}, {31, 32}, {256, 255}, {0xFFFF, 32}};
    for (auto [stored, loaded] : cases) {
        module.bpm = stored;
        SongPtr song = load(module);
        ASSERT_TRUE(song);
        EXPECT_EQ(song->module->defaultBpm, loaded) << stored;
    }
}

// The patterns and instruments such a header leaps over are missing from the file.
TEST_F(MalformedTest, HeaderSizesPastTheEndAreRefused) {
    xm::Module module = smallModule();
    module.headerSize = 0xFFFFFFFF;
    EXPECT_FALSE(load(module));
    module = smallModule();
    module.instruments.push_back(module.instruments[0]);
    module.instruments[0].headerSize = 0x7FFFFFFF;
    EXPECT_FALSE(load(module));
}

TEST_F(MalformedTest, SmallHeaderSizesReadOverlappingBytesSafely) {
    xm::Module module = richModule();
    module.headerSize = 4;
    module.instruments[0].headerSize = 0;
    SongPtr song = load(module);
    if (song) expectPlayable(*song);
}

TEST_F(MalformedTest, EnvelopesStayWithinTheirLoadedPoints) {
    xm::Module module = smallModule();
    xm::Envelope& volume = module.instruments[0].volumeEnvelope;
    volume.points = {{0, 64}, {2, 300}, {4, 10}, {3, 10}, {8, 0}};
    volume.storedPointCount = 5;
    volume.sustainPoint = 1;
    volume.loopStart = 0;
    volume.loopEnd = 2;
    volume.type = kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop;
    xm::Envelope& panning = module.instruments[0].panningEnvelope;
    panning.points = {{0, 0}, {1, 64}};
    panning.storedPointCount = 200;
    panning.sustainPoint = 12;
    panning.loopStart = 1;
    panning.loopEnd = 40;
    panning.type = kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    const Envelope& loadedVolume = song->module->instruments[0].volumeEnvelope;
    EXPECT_EQ(loadedVolume.pointCount, 3);  // point 3 goes back in time
    EXPECT_EQ(loadedVolume.points[1].value, 64);
    EXPECT_EQ(loadedVolume.type, kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop);
    const Envelope& loadedPanning = song->module->instruments[0].panningEnvelope;
    EXPECT_EQ(loadedPanning.pointCount, 2);  // the zero points after the second go back too
    EXPECT_EQ(loadedPanning.type, kEnvelopeOn);
    expectPlayable(*song);

    panning.points.assign(12, {5, 5});
    song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->instruments[0].panningEnvelope.pointCount, 12);
    EXPECT_EQ(song->module->instruments[0].panningEnvelope.type, kEnvelopeOn);
}

TEST_F(MalformedTest, LoopsPastTheDataAreClippedToIt) {
    xm::Module module = smallModule();
    std::vector<xm::Sample>& samples = module.instruments[0].samples;
    xm::Sample longLoop = rampSample(100);
    longLoop.loop = xm::Loop::pingPong;
    longLoop.loopStart = 10;
    longLoop.loopLength = 0x7FFFFFF0;
    xm::Sample lateLoop = rampSample(100, false);
    lateLoop.loop = xm::Loop::forward;
    lateLoop.loopStart = 0xFFFFFFF0;
    lateLoop.loopLength = 0x20;
    samples = {longLoop, lateLoop};
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    const Sample& clipped = instrumentSample(*song, 0, 0);
    EXPECT_EQ(clipped.loopType, LoopType::pingPong);
    EXPECT_EQ(clipped.loopStart, 10u);
    EXPECT_EQ(clipped.loopLength, 90u);
    EXPECT_EQ(clipped.data[100], longLoop.frames[99]);
    const Sample& dropped = instrumentSample(*song, 0, 1);
    EXPECT_EQ(dropped.loopType, LoopType::none);
    EXPECT_EQ(dropped.loopStart, 0u);
    EXPECT_EQ(dropped.loopLength, 100u);
    expectPlayable(*song);
}

TEST_F(MalformedTest, SampleDataPastTheEndOfTheFileIsCut) {
    xm::Module module = smallModule();
    xm::Sample& sample = module.instruments[0].samples[0];
    sample.storedLength = 0xFFFFFFFE;
    sample.loop = xm::Loop::forward;
    sample.loopStart = 60;
    sample.loopLength = 1000;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    const Sample& cut = instrumentSample(*song, 0, 0);
    EXPECT_EQ(cut.length, 64u);
    EXPECT_EQ(cut.loopStart, 60u);
    EXPECT_EQ(cut.loopLength, 4u);
    EXPECT_EQ(cut.data[63], sample.frames[63]);
    expectPlayable(*song);
}

TEST_F(MalformedTest, SampleVolumesAbove64Become64) {
    xm::Module module = smallModule();
    module.instruments[0].samples[0].volume = 255;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(instrumentSample(*song, 0, 0).volume, 64);
}

TEST_F(MalformedTest, EveryTruncationFailsOrLoadsSafely) {
    const std::vector<std::uint8_t> whole = xm::writeModule(richModule());
    std::size_t loaded = 0;
    for (std::size_t size = 0; size <= whole.size(); ++size) {
        SongPtr song = load({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)});
        if (!song) continue;
        ++loaded;
        expectPlayable(*song);
        if (::testing::Test::HasFailure()) FAIL() << "after truncation to " << size;
    }
    EXPECT_GT(loaded, 0u);
    SongPtr song = load(whole);
    ASSERT_TRUE(song);
    EXPECT_EQ(instrumentSample(*song, 2, 0).length, 64u);
}

TEST_F(MalformedTest, CorruptedBytesFailOrLoadSafely) {
    const std::vector<std::uint8_t> whole = xm::writeModule(richModule());
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> anyOffset(0, whole.size() - 1);
    std::uniform_int_distribution<std::size_t> headerOffset(17, 400);
    std::uniform_int_distribution<int> anyByte(0, 255);
    for (int round = 0; round < 400; ++round) {
        std::vector<std::uint8_t> bytes = whole;
        for (int change = 0; change < 4; ++change) {
            const std::size_t offset = round % 2 ? anyOffset(random) : headerOffset(random);
            bytes[offset] = static_cast<std::uint8_t>(anyByte(random));
        }
        SongPtr song = load(bytes);
        if (song) expectPlayable(*song);
        if (::testing::Test::HasFailure()) FAIL() << "in round " << round;
    }
}

}  // namespace
}  // namespace vorn3
