// The committed song is exactly what the tool composes, loads through the player with
// the shape the show counts on, and sounds where the show looks: accents on the flash
// rows, a change at every hand-over, no clipping, sound up to the last exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "player/song.h"
#include "shell/resource_stream.h"
#include "tools/make_song/song.h"
#include "vorn3/player.h"

namespace {

const std::string kSongFile = std::string(GLINT_SOURCE_DIR) + "/resources/song/intro.xm";

constexpr std::size_t kLargestFile = 64 * 1024;
constexpr std::int32_t kRate = 44100;
constexpr std::int32_t kRowFrames = 5712;  // 7 ticks of 816 frames at 135 BPM
constexpr std::int32_t kHitDelayFrames = 5 * 816;
constexpr std::int32_t kRows = 64;
constexpr std::int32_t kShowOrders = 20;  // played straight through; the tail follows
constexpr std::int32_t kLastShowRow = kRows * 19 + 22;

std::int32_t songRow(std::int32_t order, std::int32_t row) {
    return kRows * order + row;
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The song as the show loads it: from the embedded resource, through the host's stream.
vorn3::Song* loadEmbeddedSong() {
    glint::useResources(glint::embeddedResources());
    vorn3::setStreamCallbacks(glint::resourceOpen, glint::resourceClose, vorn3::memoryRead,
                              vorn3::memorySeek, vorn3::memoryTell);
    return vorn3::songCreate("intro.xm", nullptr);
}

TEST(Song, ToolReproducesTheCommittedFileByteForByte) {
    const std::vector<std::uint8_t> composed = glint::song::showSongBytes();
    const std::vector<std::uint8_t> committed = readFile(kSongFile);
    EXPECT_LE(composed.size(), kLargestFile);
    EXPECT_TRUE(composed == committed) << "run make_song resources/song/intro.xm to write it again";
    EXPECT_TRUE(glint::song::showSongBytes() == composed) << "two runs differ";
}

TEST(Song, EmbeddedSongLoadsWithItsShape) {
    vorn3::Song* song = loadEmbeddedSong();
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->module->channelCount, 12);
    EXPECT_EQ(song->module->patternSlotCount, 13);
    EXPECT_EQ(song->module->instrumentCount, 31);
    EXPECT_EQ(song->module->songLength, 21);
    EXPECT_EQ(song->module->restartPosition, 0);
    EXPECT_TRUE(song->module->flags & vorn3::kLinearFrequencies);
    EXPECT_EQ(song->module->defaultTempo, 7);
    EXPECT_EQ(song->module->defaultBpm, 135);
    for (std::int32_t slot = 0; slot < song->module->patternSlotCount; ++slot) {
        EXPECT_EQ(song->module->patterns[slot].rows, kRows) << "pattern " << slot;
    }
    // The show's rows must fall where it counts them: nothing may move or stretch them.
    for (std::int32_t order = 0; order < song->module->songLength; ++order) {
        const vorn3::PatternSlot& pattern = song->module->patterns[song->module->orderTable[order]];
        bool breaks = false;
        for (std::int32_t cell = 0; cell < pattern.rows * song->module->channelCount; ++cell) {
            const vorn3::PatternCell& c = pattern.cells[cell];
            SCOPED_TRACE("order " + std::to_string(order) + ", row " +
                         std::to_string(cell / song->module->channelCount));
            EXPECT_NE(c.command, vorn3::Command::positionJump);
            if (c.command == vorn3::Command::speedOrTempo) {
                EXPECT_EQ(c.parameter, 7) << "the speed stays, and so does the tempo";
            }
            if (c.command == vorn3::Command::extended) {
                const vorn3::ExtendedCommand extended =
                    vorn3::extendedCommand(song->module->rules, c.parameter);
                EXPECT_NE(extended, vorn3::ExtendedCommand::patternLoop);
                EXPECT_NE(extended, vorn3::ExtendedCommand::patternDelay);
            }
            breaks = breaks || c.command == vorn3::Command::patternBreak;
        }
        EXPECT_EQ(breaks, order >= kShowOrders) << "order " << order;
    }
    vorn3::songFree(song);
    glint::useResources({});
}

// Loudness of every row from the start up to a few rows past the show's end, rendered
// through the library without a device: rms overall and in a low and a high band.
struct RowLevels {
    std::vector<double> rms, low, middle, high;  // linear, in full-scale units
    std::vector<float> mono;                     // every frame, in full-scale units
    std::int32_t peak = 0;
};

RowLevels renderRows(vorn3::Song* song, std::int32_t rows) {
    vorn3::setWaveDevice(nullptr, vorn3::MixingDriver::thread);
    EXPECT_TRUE(vorn3::openAudio(kRate));
    EXPECT_TRUE(vorn3::songStart(song));
    std::vector<std::int16_t> frames(2 * static_cast<std::size_t>(kRowFrames));
    RowLevels levels;
    // One-pole filters: below about 150 Hz, and above about 4 kHz.
    constexpr double kLowPass = 0.021;
    constexpr double kHighSplit = 0.43;
    double lowState = 0;
    double highState = 0;
    for (std::int32_t row = 0; row < rows; ++row) {
        EXPECT_EQ(vorn3::renderAudio(frames.data(), kRowFrames), kRowFrames);
        double all = 0, low = 0, middle = 0, high = 0;
        for (std::int32_t i = 0; i < kRowFrames; ++i) {
            const double mono = (frames[2 * i] + frames[2 * i + 1]) / 65536.0;
            levels.mono.push_back(static_cast<float>(mono));
            lowState += (mono - lowState) * kLowPass;
            highState += (mono - highState) * kHighSplit;
            all += mono * mono;
            low += lowState * lowState;
            middle += (highState - lowState) * (highState - lowState);
            high += (mono - highState) * (mono - highState);
            levels.peak = std::max({levels.peak, std::abs(std::int32_t{frames[2 * i]}),
                                    std::abs(std::int32_t{frames[2 * i + 1]})});
        }
        levels.rms.push_back(std::sqrt(all / kRowFrames));
        levels.low.push_back(std::sqrt(low / kRowFrames));
        levels.middle.push_back(std::sqrt(middle / kRowFrames));
        levels.high.push_back(std::sqrt(high / kRowFrames));
    }
    vorn3::closeAudio();
    return levels;
}

double decibels(double level) {
    return 20 * std::log10(level + 1e-9);
}

// Loudness of a row's length of sound starting `delayFrames` into the row.
double rmsFrom(const RowLevels& levels, std::int32_t row, std::int32_t delayFrames) {
    const auto first = levels.mono.begin() + std::ptrdiff_t{row} * kRowFrames + delayFrames;
    const double sum = std::inner_product(first, first + kRowFrames, first, 0.0);
    return std::sqrt(sum / kRowFrames);
}

double meanOver(const std::vector<double>& values, std::int32_t from, std::int32_t to) {
    double sum = 0;
    for (std::int32_t i = from; i < to; ++i)
        sum += values[i];
    return sum / (to - from);
}

TEST(Song, RenderedSongCarriesTheShowsPositions) {
    vorn3::Song* song = loadEmbeddedSong();
    ASSERT_NE(song, nullptr);
    const RowLevels levels = renderRows(song, kLastShowRow + 8);
    vorn3::songFree(song);
    glint::useResources({});

    EXPECT_LT(levels.peak, 32767) << "clipped";
    EXPECT_GT(decibels(levels.peak / 32768.0), -3.0) << "peak near -1 dBFS";

    // An accent on every flash: from the hit, held back a few ticks into its row, a
    // row's length is far louder than the four rows before it.
    for (const auto& [order, row] : {std::pair{3, 61}, {5, 63}, {7, 63}, {11, 63}}) {
        const std::int32_t at = songRow(order, row);
        EXPECT_GT(rmsFrom(levels, at, kHitDelayFrames), 2.5 * meanOver(levels.rms, at - 4, at))
            << "flash at (" << order << ", " << row << ")";
    }

    // A new section at every hand-over: the balance of low and high sounds, or the
    // loudness, moves between the bars before and the bars after.
    constexpr std::int32_t kSpan = 16;
    constexpr std::int32_t kLeadIn = 8;   // the fills and breaks just before a hand-over
    constexpr std::int32_t kHitRing = 2;  // the held-back hits ringing into the first rows
    constexpr double kChangeDb = 2.0;
    for (const auto& [order, row] :
         {std::pair{3, 62}, {6, 0}, {8, 0}, {10, 0}, {12, 0}, {14, 0}, {16, 0}}) {
        const std::int32_t at = songRow(order, row);
        const std::int32_t before = at - kSpan - kLeadIn;
        double change = 0;
        for (const std::vector<double>* band :
             {&levels.rms, &levels.low, &levels.middle, &levels.high}) {
            change = std::max(
                change, std::abs(decibels(meanOver(*band, at + kHitRing, at + kHitRing + kSpan)) -
                                 decibels(meanOver(*band, before, at - kLeadIn))));
        }
        EXPECT_GT(change, kChangeDb) << "hand-over at (" << order << ", " << row << ")";
    }

    // Sound all the way: no stretch of a second or more near silence before the end.
    constexpr double kQuietDb = -50;
    constexpr std::int32_t kLongestQuietRows = 7;
    std::int32_t quietRun = 0;
    for (std::int32_t at = 0; at <= kLastShowRow; ++at) {
        quietRun = decibels(levels.rms[at]) < kQuietDb ? quietRun + 1 : 0;
        EXPECT_LE(quietRun, kLongestQuietRows) << "quiet up to row " << at;
    }
    for (std::int32_t row = 20; row <= 22; ++row) {
        EXPECT_GT(decibels(levels.rms[songRow(19, row)]), -40) << "order 19, row " << row;
    }
}

}  // namespace
