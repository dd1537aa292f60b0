// The voice mixer and the PCM conversion: interpolation, volume ramps, loops, the end
// of a sample, and the rounding and clipping of the output.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "formats/formats.h"
#include "mixer/mix.h"
#include "mixer/mixer.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

constexpr std::int16_t kLevel = 10000;

// A sample as the loader leaves it, guard frame included.
struct OwnedSample {
    OwnedSample(const std::vector<std::int16_t>& frames, LoopType loop, std::uint32_t loopStart,
                std::uint32_t loopLength) {
        const auto length = static_cast<std::uint32_t>(frames.size());
        sample.data = allocateFrames(length);
        std::copy(frames.begin(), frames.end(), sample.data);
        sample.length = length;
        sample.loopType = loop;
        sample.loopStart = loop == LoopType::none ? 0 : loopStart;
        sample.loopLength = loop == LoopType::none ? length : loopLength;
        const std::uint32_t end = sample.loopStart + sample.loopLength;
        sample.data[end] =
            loop == LoopType::pingPong ? sample.data[end - 1] : sample.data[sample.loopStart];
    }
    ~OwnedSample() { releaseFrames(sample.data); }
    OwnedSample(const OwnedSample&) = delete;
    OwnedSample& operator=(const OwnedSample&) = delete;

    Sample sample{};
};

std::vector<std::int16_t> constant(std::size_t length) {
    return std::vector<std::int16_t>(length, kLevel);
}

// Frame i holds 1000 × i.
std::vector<std::int16_t> counting(std::size_t length) {
    std::vector<std::int16_t> frames(length);
    for (std::size_t i = 0; i < length; ++i)
        frames[i] = static_cast<std::int16_t>(1000 * i);
    return frames;
}

double gainOf(std::int32_t volumeByte) {
    return volumeByte * static_cast<double>(kByteToGain);
}

class MixTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        ASSERT_TRUE(openAudio(44100));
    }

    // Voice 0 playing `sample` at `hz`, full volume on the left.
    Voice& play(const Sample& sample, std::int32_t hz, bool alreadyAtVolume = false) {
        Voice& voice = *voiceAt(defaultMixer(), 0);
        setVoiceVolume(voice, 255);
        setVoicePanning(voice, 0);
        setVoiceFrequency(defaultMixer(), voice, hz);
        triggerVoice(defaultMixer(), 0, &sample);
        if (alreadyAtVolume) voice.currentLeft = voice.leftVolume;
        return voice;
    }

    // The left side of `frames` frames mixed into silence.
    std::vector<float> mixLeft(std::int32_t frames) {
        std::vector<float> out(2 * static_cast<std::size_t>(frames), 0.0f);
        mixVoices(defaultMixer(), out.data(), frames);
        std::vector<float> left;
        for (std::int32_t i = 0; i < frames; ++i)
            left.push_back(out[2 * static_cast<std::size_t>(i)]);
        return left;
    }
};

TEST_F(MixTest, TheFirstNoteFadesInOver128FramesAndThenHoldsItsTarget) {
    OwnedSample sample(constant(64), LoopType::forward, 0, 64);
    Voice& voice = play(sample.sample, 44100);
    const std::vector<float> left = mixLeft(300);
    EXPECT_EQ(left[0], 0.0f);
    for (std::int32_t i = 1; i < 128; ++i)
        EXPECT_GT(left[i], left[i - 1]) << i;
    const auto full = static_cast<float>(kLevel * gainOf(255));
    EXPECT_NEAR(left[127], full, full / 127);
    for (std::int32_t i = 128; i < 300; ++i)
        EXPECT_EQ(left[i], full) << i;
    EXPECT_EQ(voice.currentLeft, 255);
    EXPECT_EQ(voice.currentRight, 0);
    EXPECT_EQ(voice.rampFramesLeft, 0);
}

TEST_F(MixTest, AChangeDuringARampStartsAFullRampFromTheAppliedVolume) {
    OwnedSample sample(constant(64), LoopType::forward, 0, 64);
    Voice& voice = play(sample.sample, 44100);
    mixLeft(50);
    EXPECT_EQ(voice.rampFramesLeft, 78);
    const std::uint8_t applied = voice.currentLeft;
    EXPECT_NEAR(applied, 255 * 50 / 128.0, 1);

    setVoiceVolume(voice, 128);
    const std::vector<float> left = mixLeft(1);
    EXPECT_EQ(left[0], static_cast<float>(kLevel * gainOf(applied)));
    EXPECT_EQ(voice.rampTargetLeft, 128);
    EXPECT_EQ(voice.rampFramesLeft, 127);
    mixLeft(127);
    EXPECT_EQ(voice.currentLeft, 128);
    EXPECT_EQ(voice.rampFramesLeft, 0);
}

TEST_F(MixTest, ARampCutIntoPiecesEndsOnTimeWithoutAJump) {
    OwnedSample sample(constant(64), LoopType::forward, 0, 64);
    play(sample.sample, 44100);
    const std::vector<float> whole = mixLeft(200);

    resetMixer(defaultMixer());
    ASSERT_TRUE(openAudio(44100));
    Voice& voice = play(sample.sample, 44100);
    std::vector<float> pieces;
    while (pieces.size() < 200) {
        const std::vector<float> piece = mixLeft(7);
        pieces.insert(pieces.end(), piece.begin(), piece.end());
    }
    // Each piece restarts from the applied volume rounded to a byte.
    for (std::size_t i = 0; i < 200; ++i)
        EXPECT_NEAR(pieces[i], whole[i], kLevel * gainOf(1)) << i;
    EXPECT_EQ(pieces[150], whole[150]);
    EXPECT_EQ(voice.currentLeft, 255);
}

TEST_F(MixTest, ASideAtItsTargetStaysThereWhileTheOtherRamps) {
    OwnedSample sample(constant(64), LoopType::forward, 0, 64);
    Voice& voice = play(sample.sample, 44100);
    setVoicePanning(voice, 128);
    voice.currentRight = voice.rightVolume;
    std::vector<float> out(2 * 200, 0.0f);
    mixVoices(defaultMixer(), out.data(), 200);
    for (std::size_t i = 0; i < 200; ++i)
        EXPECT_EQ(out[2 * i + 1], static_cast<float>(kLevel * gainOf(voice.rightVolume))) << i;
    EXPECT_EQ(voice.currentLeft, 127);
}

TEST_F(MixTest, InterpolationIsLinearBetweenFrames) {
    OwnedSample sample(counting(32), LoopType::none, 0, 0);
    play(sample.sample, 22050, true);
    const std::vector<float> left = mixLeft(8);
    for (std::int32_t i = 0; i < 8; ++i)
        EXPECT_FLOAT_EQ(left[i], static_cast<float>(500.0 * i * gainOf(255))) << i;
}

TEST_F(MixTest, AFullVolumeVoiceOnOneSideGivesHalfScale) {
    OwnedSample sample(constant(64), LoopType::forward, 0, 64);
    Voice& voice = play(sample.sample, 44100);
    setVoiceVolume(voice, 127);
    voice.currentLeft = voice.leftVolume;
    EXPECT_EQ(mixLeft(4)[3], static_cast<float>(kLevel * gainOf(127)));
}

TEST_F(MixTest, AForwardLoopWrapsByAsManyLengthsAsTheStepCrosses) {
    OwnedSample sample(counting(10), LoopType::forward, 4, 3);
    Voice& voice = play(sample.sample, 705600, true);  // 16 frames per output frame
    std::int64_t expected = 0;
    for (std::int32_t frame = 0; frame < 100; ++frame) {
        const float heard = mixLeft(1)[0];
        EXPECT_EQ(heard, static_cast<float>(1000.0 * expected * gainOf(255))) << frame;
        expected += 16;
        while (expected >= 7)
            expected -= 3;
        EXPECT_EQ(voice.position, static_cast<std::uint64_t>(expected) << 32) << frame;
    }
}

TEST_F(MixTest, APingPongLoopShorterThanAStepReflectsIntoItsRange) {
    for (std::uint32_t loopLength : {1u, 2u, 3u}) {
        OwnedSample sample(counting(12), LoopType::pingPong, 5, loopLength);
        Voice& voice = play(sample.sample, 321987);  // 7.3 frames per output frame
        for (std::int32_t frame = 0; frame < 500; ++frame) {
            const float heard = mixLeft(1)[0];
            ASSERT_TRUE(std::isfinite(heard));
            const auto whole = static_cast<std::int32_t>(voice.position >> 32);
            if (frame > 0) {
                ASSERT_GE(whole, 4) << loopLength << " " << frame;
                ASSERT_LE(whole, static_cast<std::int32_t>(5 + loopLength)) << frame;
            }
        }
        EXPECT_EQ(voice.sample, &sample.sample);
    }
}

TEST_F(MixTest, APingPongLoopTurnsAtBothEnds) {
    OwnedSample sample(counting(8), LoopType::pingPong, 2, 4);
    Voice& voice = play(sample.sample, 44100, true);
    const std::vector<float> left = mixLeft(16);
    // Frames 0..5; back from just below 6, so that frame 5 sounds twice; from 2 forward.
    const double expected[] = {0, 1, 2, 3, 4, 5, 5, 5, 4, 3, 2, 3, 4, 5, 5, 5};
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_NEAR(left[i], 1000 * expected[i] * gainOf(255), 1) << i;
    EXPECT_EQ(voice.direction, kBackward);
}

// Where a reflection or a wrap leaves a position a hair below frame 0.
TEST_F(MixTest, APositionJustBelowFrameZeroReadsAHarmlessNeighbour) {
    OwnedSample sample(constant(4), LoopType::pingPong, 0, 4);
    Voice& voice = play(sample.sample, 44100, true);
    voice.position = ~std::uint64_t{0};
    const std::vector<float> left = mixLeft(40);
    for (std::size_t i = 0; i < left.size(); ++i)
        EXPECT_NEAR(left[i], kLevel * gainOf(255), 1) << i;
}

TEST_F(MixTest, ASampleWithoutLoopStopsAtItsEndAndStaysStopped) {
    OwnedSample sample(constant(100), LoopType::none, 0, 0);
    Voice& voice = play(sample.sample, 44100, true);
    const std::vector<float> left = mixLeft(150);
    EXPECT_EQ(left[99], static_cast<float>(kLevel * gainOf(255)));
    for (std::size_t i = 100; i < 150; ++i)
        EXPECT_EQ(left[i], 0.0f) << i;
    EXPECT_EQ(voice.sample, nullptr);
    EXPECT_EQ(voice.position, 0u);
    EXPECT_EQ(mixLeft(10), std::vector<float>(10, 0.0f));
}

TEST_F(MixTest, NoFramesOrNoVoicesChangeNothing) {
    OwnedSample sample(constant(64), LoopType::forward, 0, 64);
    Voice& voice = play(sample.sample, 30000);
    std::vector<float> out(8, 1.0f);
    mixVoices(defaultMixer(), out.data(), 0);
    mixVoices(defaultMixer(), out.data(), -3);
    Mixer empty;
    empty.output = defaultMixer().output;
    mixVoices(empty, out.data(), 4);
    EXPECT_EQ(out, std::vector<float>(8, 1.0f));
    EXPECT_EQ(voice.position, 0u);
    EXPECT_EQ(voice.rampFramesLeft, 0);
}

// The loops the mixer chooses between must add the same bits.
// The resonant low-pass as its documentation gives it: a cutoff c (in 1/256 steps) at
// 110 × 2^(1/4 + c / 6144) Hz, and a damping of 24 dB / 128 per resonance step.
TEST_F(MixTest, AFilteredVoiceFollowsTheDocumentedTwoPoleRecursion) {
    struct Case {
        std::int32_t cutoff;
        std::int32_t resonance;
    };
    const Case cases[] = {{0, 0},           {64 * 256, 0},    {64 * 256, 100},
                          {100 * 256, 127}, {127 * 256, 127}, {32 * 256 + 128, 50}};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> value(-20000, 20000);
    std::vector<std::int16_t> frames(1000);
    for (std::int16_t& frame : frames)
        frame = static_cast<std::int16_t>(value(random));
    OwnedSample sample(frames, LoopType::forward, 0, 1000);
    for (const Case& c : cases) {
        Voice& voice = play(sample.sample, 44100, true);
        setVoiceFilter(defaultMixer(), voice, true, c.cutoff, c.resonance);
        const std::vector<float> left = mixLeft(2500);
        const double hz = 110.0 * std::pow(2.0, 0.25 + c.cutoff / (24.0 * 256.0));
        const double r = 44100.0 / (2.0 * std::acos(-1.0) * hz);
        const double damping = std::pow(10.0, -c.resonance * 24.0 / (128.0 * 20.0));
        const double d = damping * r + damping - 1.0;
        const double e = r * r;
        double y1 = 0;
        double y2 = 0;
        for (std::size_t i = 0; i < left.size(); ++i) {
            const double y = (frames[i % frames.size()] + (d + 2 * e) * y1 - e * y2) / (1 + d + e);
            y2 = y1;
            y1 = y;
            ASSERT_NEAR(left[i], y * gainOf(255), 0.02 + std::abs(y) * 1e-6)
                << "cutoff " << c.cutoff << " resonance " << c.resonance << " frame " << i;
        }
    }
}

// A looped tone read through each kernel, against the tone itself: past a loop's ends a
// kernel must read the loop again (mirrored for ping-pong), never the frames around it,
// which here are noise. A tone above what the output can carry comes out as silence.
TEST_F(MixTest, EachKernelReadsALoopedToneAsTheToneItself) {
    constexpr double kAmplitude = 12000;
    constexpr std::uint32_t kLoopStart = 37;
    constexpr std::uint32_t kLoopLength = 200;  // whole periods; whole half periods mirrored
    constexpr std::uint32_t kNoiseAfter = 20;
    constexpr std::uint32_t kStartOffset = kLoopStart + 8;
    constexpr std::int32_t kFrames = 3000;
    const struct {
        Interpolation mode;
        LoopType loop;
        std::int32_t hz;
        double period;     // frames
        double tolerance;  // of the amplitude
    } cases[] = {
        {Interpolation::nearest, LoopType::forward, 30011, 40, 1e-6},
        {Interpolation::cubic, LoopType::forward, 32117, 40, 5e-4},
        {Interpolation::cubic, LoopType::pingPong, 60413, 40, 5e-4},
        {Interpolation::sinc, LoopType::forward, 26903, 40, 1e-3},
        {Interpolation::sinc, LoopType::pingPong, 44100, 8, 2e-3},
        // 2.6 frames a frame: the lowered cutoff bends the passband a little and stops a
        // tone above the output's Nyquist frequency.
        {Interpolation::sinc, LoopType::forward, 114660, 40, 0.02},
        {Interpolation::sinc, LoopType::forward, 114660, 2.5, 0.01},
    };
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-kLevel, kLevel);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        SCOPED_TRACE(c.hz);
        const bool mirrored = c.loop == LoopType::pingPong;
        // Ping-pong mirrors frames about half a frame before the loop's start and its end.
        const auto tone = [&](double x) {
            const double phase = 2 * std::numbers::pi * x / c.period;
            return mirrored ? kAmplitude * std::cos(phase + std::numbers::pi / c.period)
                            : kAmplitude * std::sin(phase);
        };
        std::vector<std::int16_t> frames(kLoopStart + kLoopLength + kNoiseAfter);
        for (std::uint32_t j = 0; j < frames.size(); ++j) {
            const bool inLoop = j >= kLoopStart && j < kLoopStart + kLoopLength;
            frames[j] = static_cast<std::int16_t>(inLoop ? std::lround(tone(j - double{kLoopStart}))
                                                         : noise(random));
        }
        OwnedSample sample(frames, c.loop, kLoopStart, kLoopLength);
        setInterpolation(defaultPlayer(), c.mode);
        voiceAt(defaultMixer(), 0)->startOffset = kStartOffset;
        const Voice& voice = play(sample.sample, c.hz, true);
        const double step = static_cast<double>(voice.step) / 4294967296.0;
        const std::vector<float> left = mixLeft(kFrames);
        const bool passes = c.period / step > 2;  // output frames a period
        double worst = 0;
        for (std::int32_t k = 0; k < kFrames; ++k) {
            const double x = kStartOffset - double{kLoopStart} + k * step;  // unfolded
            // Each turn of a ping-pong loop moves the tone by a frame.
            const double turns = mirrored ? std::floor(x / kLoopLength) : 0;
            const double frame = c.mode == Interpolation::nearest ? std::floor(x) : x;
            const double value = !passes ? 0
                                 : c.mode == Interpolation::nearest
                                     ? std::lround(tone(frame))
                                     : tone(frame - std::fmod(turns, 2));
            const float mixed = left[static_cast<std::size_t>(k)];
            worst = std::max(worst, std::abs(mixed - value * gainOf(255)) / kAmplitude);
        }
        EXPECT_LE(worst, c.tolerance);
    }
}

TEST(MixLoopTest, TheWideTheRampAndTheConstantLoopsAgree) {
    std::mt19937 random(7);
    std::vector<std::int16_t> block(4000 + 2);
    for (std::int16_t& frame : block)
        frame = static_cast<std::int16_t>(random());
    const std::int16_t* data = block.data() + 1;
    const bool wide = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    for (std::int32_t trial = 0; trial < 200; ++trial) {
        const std::int32_t frames = 1 + static_cast<std::int32_t>(random() % 300);
        const std::uint64_t step = (std::uint64_t{random() % 3} << 32) | random();
        const bool backward = trial % 2 == 1;
        const std::uint64_t delta = backward ? 0 - step : step;
        const std::uint64_t start =
            (std::uint64_t{backward ? 3000u : 10u} << 32) | static_cast<std::uint32_t>(random());
        const double left = gainOf(static_cast<std::int32_t>(random() % 256));
        const double right = gainOf(static_cast<std::int32_t>(random() % 256));
        const bool ramp = trial % 4 >= 2;
        const double leftStep = ramp ? static_cast<float>((random() % 511 - 255.0) / 255 / 128) : 0;
        const double rightStep =
            ramp ? static_cast<float>((random() % 511 - 255.0) / 255 / 128) : 0;
        std::vector<float> base(2 * static_cast<std::size_t>(frames));
        for (float& value : base)
            value = static_cast<float>(static_cast<std::int32_t>(random() % 60000) - 30000);

        std::vector<float> byRamp = base;
        double rampLeft = left;
        double rampRight = right;
        const std::uint64_t end = mixRamp(byRamp.data(), data, start, delta, frames, rampLeft,
                                          rampRight, leftStep, rightStep);
        if (!ramp) {
            std::vector<float> byConstant = base;
            EXPECT_EQ(mixAtGains(byConstant.data(), data, start, delta, frames, left, right), end);
            EXPECT_EQ(byConstant, byRamp) << trial;
        }
        if (wide) {
            std::vector<float> byWide = base;
            double wideLeft = left;
            double wideRight = right;
            EXPECT_EQ(mixWide(byWide.data(), data, start, delta, frames, wideLeft, wideRight,
                              leftStep, rightStep),
                      end);
            EXPECT_EQ(byWide, byRamp) << trial;
            EXPECT_EQ(wideLeft, rampLeft);
            EXPECT_EQ(wideRight, rampRight);
        }
    }
}

TEST(ConvertTest, RoundsToNearestEvenAndClips) {
    const std::vector<float> in = {0.5f,     1.5f,     2.5f,     -0.5f,     -1.5f,     0.49f,
                                   32767.4f, 32767.5f, 40000.0f, -32768.4f, -32769.0f, -1e9f,
                                   1e9f,     -2.6f,    12345.0f, 0.0f,      3.5f,      -3.5f};
    const std::vector<std::int16_t> expected = {
        0, 2, 2, 0, -2, 0, 32767, 32767, 32767, -32768, -32768, -32768, 32767, -3, 12345, 0, 4, -4};
    std::vector<std::int16_t> out(in.size(), 99);
    convertToPcm16(out.data(), in.data(), static_cast<std::int32_t>(in.size() / 2));
    EXPECT_EQ(out, expected);

    std::vector<std::int16_t> untouched(4, 99);
    convertToPcm16(untouched.data(), in.data(), 0);
    convertToPcm16(untouched.data(), nullptr, 2);
    convertToPcm16(nullptr, in.data(), 2);
    EXPECT_EQ(untouched, std::vector<std::int16_t>(4, 99));
}

}  // namespace
}  // namespace vorn3
