// The host interface: tunes rendered by pull, their passes, duration, seeking, muting
// and information.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "support/player_fixture.h"
#include "vorn3/vorn3.h"
#include "writers/demo_module.h"
#include "writers/it_writer.h"
#include "writers/mod_writer.h"
#include "writers/s3m_writer.h"

namespace vorn3 {
namespace {

constexpr std::int32_t kRate = 44100;
constexpr std::int32_t kRowFrames = 6 * 882;  // speed 6 at 125 BPM
constexpr std::int32_t kPieceFrames = 1500;

struct TuneDeleter {
    void operator()(Tune* tune) const { tuneFree(tune); }
};
using TunePtr = std::unique_ptr<Tune, TuneDeleter>;

TunePtr loadTune(const std::vector<std::uint8_t>& bytes) {
    TuneLoad loaded = tuneLoad(bytes.data(), bytes.size(), kRate);
    EXPECT_TRUE(loaded.status.ok) << loaded.status.message;
    return TunePtr(loaded.tune);
}

TunePtr loadTune(const xm::Module& module) {
    return loadTune(xm::writeModule(module));
}

// Everything the tune renders, up to `most` frames.
std::vector<std::int16_t> renderAll(Tune& tune, std::int64_t most = 600 * kRate) {
    std::vector<std::int16_t> sound;
    std::vector<std::int16_t> piece(2 * kPieceFrames);
    for (std::int64_t frames = 0; frames < most;) {
        const std::int32_t got = tuneRender(tune, piece.data(), kPieceFrames);
        if (got == 0) break;
        sound.insert(sound.end(), piece.begin(), piece.begin() + 2 * got);
        frames += got;
    }
    return sound;
}

std::int64_t framesOf(const std::vector<std::int16_t>& sound) {
    return static_cast<std::int64_t>(sound.size() / 2);
}

// Four rows per pattern, a note on each pattern's first row.
xm::Module fourRowSong(std::vector<std::vector<xm::Cell>> rows) {
    for (auto& pattern : rows)
        pattern.front().note = pattern.front().note ? pattern.front().note : 49;
    for (auto& pattern : rows)
        pattern.front().instrument = 1;
    return patternsModule(std::move(rows), 6);
}

TEST(TuneTest, APassEndsWherePlaybackComesBackToARowItPlayed) {
    const xm::Cell none{};
    struct Case {
        const char* name;
        xm::Module module;
        std::int32_t firstPassRows;
        std::int32_t secondPassRows;
    };
    const Case cases[] = {
        // Orders 0, 1, 2, then a jump back to order 1: the second pass plays 1 and 2.
        {"jump back",
         fourRowSong({{none, none, none, none},
                      {none, none, none, none},
                      {none, none, none, effectCell(11, 1)}}),
         12, 8},
        // A break in the last order goes on at order 0, row 2.
        {"break back",
         fourRowSong({{none, none, none, none}, {none, effectCell(13, 2), none, none}}), 6, 4},
        // Rows 1..2 play three times within the pass; the end comes back to row 0.
        {"pattern loop", fourRowSong({{none, effectCell(14, 0x60), effectCell(14, 0x62), none}}), 8,
         8},
        // The last order leads back to the restart position.
        {"straight", fourRowSong({{none, none, none, none}, {none, none, none, none}}), 8, 8},
    };
    for (const Case& test : cases) {
        TunePtr tune = loadTune(test.module);
        EXPECT_DOUBLE_EQ(tuneDuration(*tune), test.firstPassRows * kRowFrames / double{kRate})
            << test.name;
        EXPECT_EQ(framesOf(renderAll(*tune)), test.firstPassRows * kRowFrames) << test.name;
        EXPECT_EQ(tuneRender(*tune, static_cast<std::int16_t*>(nullptr), 0), 0);
        tuneSetPasses(*tune, 2);
        ASSERT_TRUE(tuneSeekTime(*tune, 0).ok);
        EXPECT_EQ(framesOf(renderAll(*tune)),
                  (test.firstPassRows + test.secondPassRows) * kRowFrames)
            << test.name;
        tuneSetPasses(*tune, kPlayForever);
        ASSERT_TRUE(tuneSeekTime(*tune, 0).ok);
        EXPECT_EQ(framesOf(renderAll(*tune, 30 * kRate)), 30 * kRate) << test.name;
    }
}

// A song that changes speed, tempo and global volume and loops a pattern before the
// rows a seek lands on.
xm::Module changingSong() {
    xm::Module module = xm::demoModule();
    xm::Pattern& first = module.patterns[module.orders[0]];
    first.cells.resize(static_cast<std::size_t>(first.rows) * module.channels);
    first.cells[0].effect = 15;  // speed 4
    first.cells[0].parameter = 4;
    first.cells[module.channels].effect = 16;  // global volume 40
    first.cells[module.channels].parameter = 40;
    first.cells[2 * module.channels].effect = 15;  // 140 BPM
    first.cells[2 * module.channels].parameter = 140;
    first.cells[4 * module.channels + 1].effect = 14;  // loop rows 4..6 twice more
    first.cells[4 * module.channels + 1].parameter = 0x60;
    first.cells[6 * module.channels + 1].effect = 14;
    first.cells[6 * module.channels + 1].parameter = 0x62;
    return module;
}

TEST(TuneTest, ASeekArrivesWhereAStraightPlayIs) {
    TunePtr tune = loadTune(changingSong());
    tuneSetPasses(*tune, kPlayForever);
    const std::vector<std::int16_t> straight = renderAll(*tune, 40 * kRate);
    const auto expectFrom = [&](std::int64_t frame, const char* what) {
        std::vector<std::int16_t> after(2 * 3 * kRate);
        ASSERT_EQ(tuneRender(*tune, after.data(), 3 * kRate), 3 * kRate);
        const auto from = straight.begin() + 2 * frame;
        EXPECT_TRUE(std::equal(after.begin(), after.end(), from)) << what;
    };
    for (const double seconds : {0.0, 1.37, 9.5, 31.0}) {
        ASSERT_TRUE(tuneSeekTime(*tune, seconds).ok);
        EXPECT_DOUBLE_EQ(tunePosition(*tune).seconds,
                         std::llround(seconds * kRate) / double{kRate});
        expectFrom(std::llround(seconds * kRate), "time");
    }
    for (const auto& [order, row] :
         {std::pair{0, 5}, std::pair{0, 7}, std::pair{1, 0}, std::pair{2, 33}}) {
        ASSERT_TRUE(tuneSeekPosition(*tune, order, row).ok) << order << " " << row;
        const std::int64_t frame = std::llround(tunePosition(*tune).seconds * kRate);
        expectFrom(frame, "position");
    }
    const Status missing = tuneSeekPosition(*tune, 99, 0);
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.message.empty());
    EXPECT_FALSE(tuneSeekTime(*tune, -1).ok);
    EXPECT_FALSE(tuneSeekTime(*tune, std::nan("")).ok);
}

TEST(TuneTest, ARowNoPassPlaysIsNoPlaceToSeekTo) {
    const xm::Cell none{};
    // Order 1 is jumped over.
    TunePtr tune = loadTune(fourRowSong({{none, none, none, effectCell(11, 2)},
                                         {none, none, none, none},
                                         {none, none, none, none}}));
    EXPECT_TRUE(tuneSeekPosition(*tune, 2, 1).ok);
    const Status skipped = tuneSeekPosition(*tune, 1, 0);
    EXPECT_FALSE(skipped.ok);
    EXPECT_EQ(tunePosition(*tune).seconds, 0);
    EXPECT_EQ(framesOf(renderAll(*tune)), 8 * kRowFrames);  // still plays from the start
}

// Empty 64-row patterns, one per order the list names.
s3m::Module s3mOrders(std::vector<std::uint8_t> orders) {
    s3m::Module module;
    module.orders = std::move(orders);
    module.instruments.push_back({.frames = {1, 2, 3}});
    std::uint8_t patterns = 0;
    for (const std::uint8_t order : module.orders)
        patterns = order < 254 ? std::max<std::uint8_t>(patterns, order + 1) : patterns;
    module.patterns.resize(patterns);
    return module;
}

TEST(TuneTest, SubsongsStartWhereEarlierOnesNeverPlay) {
    const xm::Cell none{};
    constexpr std::int32_t kS3mRows = 64;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<std::pair<std::int32_t, std::int32_t>> subsongs;  // first order, rows
    };
    const Case cases[] = {
        // Order 1 jumps back to 0: orders 2 and 3 are a song of their own.
        {"jump back",
         xm::writeModule(fourRowSong({{none, none, none, none},
                                      {none, none, none, effectCell(11, 0)},
                                      {none, none, none, none},
                                      {none, none, none, none}})),
         {{0, 8}, {2, 8}}},
        // Order 0 jumps over order 1, which then runs into order 2 of the first song:
        // there it ends, as the peers end it.
        {"jump over",
         xm::writeModule(fourRowSong({{none, none, none, effectCell(11, 2)},
                                      {none, none, none, none},
                                      {none, none, none, none}})),
         {{0, 8}, {1, 4}}},
        // Separators end each section; skip markers play nothing.
        {"separators",
         s3m::writeModule(s3mOrders({0, 255, 1, 254, 2, 255, 255, 3})),
         {{0, kS3mRows}, {1, 2 * kS3mRows}, {3, kS3mRows}}},
        {"one song", s3m::writeModule(s3mOrders({0, 1, 255})), {{0, 2 * kS3mRows}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        TunePtr tune = loadTune(test.bytes);
        ASSERT_EQ(tuneSubsongCount(*tune), static_cast<std::int32_t>(test.subsongs.size()));
        for (std::int32_t i = 0; i < tuneSubsongCount(*tune); ++i) {
            const auto& [firstOrder, rows] = test.subsongs[i];
            const double seconds = rows * kRowFrames / double{kRate};
            EXPECT_EQ(tuneSubsong(*tune, i).firstOrder, firstOrder);
            EXPECT_DOUBLE_EQ(tuneSubsong(*tune, i).seconds, seconds);
            ASSERT_TRUE(tuneSelectSubsong(*tune, i).ok);
            EXPECT_DOUBLE_EQ(tuneDuration(*tune), seconds);
            EXPECT_EQ(tunePosition(*tune).order, firstOrder);
            EXPECT_EQ(framesOf(renderAll(*tune)), rows * kRowFrames);
            // A second pass plays the subsong again from its start.
            tuneSetPasses(*tune, 2);
            ASSERT_TRUE(tuneSelectSubsong(*tune, i).ok);
            EXPECT_EQ(framesOf(renderAll(*tune)), 2 * rows * kRowFrames);
            tuneSetPasses(*tune, 1);
            EXPECT_TRUE(tuneSeekPosition(*tune, firstOrder, 1).ok);
            // Order 0 belongs to the first song alone.
            EXPECT_EQ(tuneSeekPosition(*tune, 0, 1).ok, firstOrder == 0);
        }
        EXPECT_FALSE(tuneSelectSubsong(*tune, tuneSubsongCount(*tune)).ok);
        EXPECT_EQ(tuneSubsong(*tune, -1).firstOrder, -1);
    }
}

// Every length a file may be cut to: up to where its sample data starts a part the song
// needs is missing, and the load fails naming it; within the sample data it loads, saying
// so; whole, it loads without a word.
TEST(TuneTest, AFileCutShortLoadsOnlyIfItsSampleDataAloneIsShort) {
    xm::Module xmModule = smallModule();  // one 64-frame 16-bit sample, stored last
    mod::Module modModule;
    modModule.samples.push_back({.data = std::vector<std::int8_t>(1000, 40)});
    modModule.patterns.resize(1);
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::int64_t sampleDataBytes;  // at the end of the file
        std::int64_t cut;              // a length the file is refused at
        const char* missing;           // for that reason
    } cases[] = {
        {"XM", xm::writeModule(xmModule), 128, 100, "the file ends inside the header"},
        {"MOD", mod::writeModule(modModule), 1000, 1100, "the file ends inside the patterns"},
        // 3 bytes at the paragraph after the pattern, 14 bytes of padding on.
        {"S3M", s3m::writeModule(s3mOrders({0})), 17, 60, "the file ends inside the header"},
    };
    for (const auto& test : cases) {
        const auto size = static_cast<std::int64_t>(test.bytes.size());
        for (std::int64_t length = 1; length <= size; ++length) {
            SCOPED_TRACE(std::string(test.name) + " cut to " + std::to_string(length));
            TuneLoad load = tuneLoad(test.bytes.data(), static_cast<std::size_t>(length), kRate);
            tuneFree(load.tune);
            const std::string& message = load.status.message;
            if (length == size) {
                EXPECT_TRUE(load.status.ok && message.empty()) << message;
            } else if (length >= size - test.sampleDataBytes) {
                EXPECT_TRUE(load.status.ok) << message;
                EXPECT_EQ(message,
                          "the file ends inside the sample data: it plays without the rest");
            } else {
                ASSERT_FALSE(load.status.ok);
                if (length == test.cut) {
                    EXPECT_EQ(message, test.missing);
                }
                EXPECT_EQ(message.find("sample data"), std::string::npos) << message;
            }
        }
    }
}

TEST(TuneTest, AProbeTellsFromTheFirstBytesWhetherAFileWouldLoad) {
    const std::vector<std::uint8_t> xmBytes = xm::writeModule(smallModule());
    const std::vector<std::uint8_t> s3mBytes = s3m::writeModule(s3mOrders({0}));
    mod::Module modModule;
    modModule.samples.push_back({.data = std::vector<std::int8_t>(1000, 40)});
    modModule.patterns.resize(1);
    const std::vector<std::uint8_t> modBytes = mod::writeModule(modModule);
    const std::vector<std::uint8_t> text(2000, 'x');
    const struct {
        const char* name;
        const std::vector<std::uint8_t>& bytes;
        std::size_t given;
        std::int64_t fileSize;
        std::int32_t verdict;
        const char* format;
    } cases[] = {
        {"XM whole", xmBytes, xmBytes.size(), -1, VORN3_PROBE_LOADS, "XM"},
        {"XM head of a whole file", xmBytes, 400, std::int64_t(xmBytes.size()), VORN3_PROBE_LOADS,
         "XM"},
        {"XM's first 100 bytes alone", xmBytes, 100, 100, VORN3_PROBE_CUT_SHORT, "XM"},
        {"XM's first 100 bytes of more", xmBytes, 100, -1, VORN3_PROBE_NEED_MORE, "XM"},
        {"S3M's first 60 bytes alone", s3mBytes, 60, 60, VORN3_PROBE_CUT_SHORT, "S3M"},
        {"S3M whole", s3mBytes, s3mBytes.size(), std::int64_t(s3mBytes.size()), VORN3_PROBE_LOADS,
         "S3M"},
        {"MOD head", modBytes, 1084, std::int64_t(modBytes.size()), VORN3_PROBE_LOADS, "MOD"},
        {"MOD's first 500 bytes", modBytes, 500, -1, VORN3_PROBE_NEED_MORE, ""},
        {"text", text, text.size(), -1, VORN3_PROBE_NOT_A_MODULE, ""},
        {"short text alone", text, 20, 20, VORN3_PROBE_NOT_A_MODULE, ""},
        {"nothing yet", text, 0, -1, VORN3_PROBE_NEED_MORE, ""},
    };
    for (const auto& test : cases) {
        const vorn3_probe_result probe = vorn3_probe(test.bytes.data(), test.given, test.fileSize);
        EXPECT_EQ(probe.verdict, test.verdict) << test.name;
        EXPECT_STREQ(probe.format, test.format) << test.name;
        // The loader agrees wherever the probe had the whole file.
        if (test.fileSize == std::int64_t(test.given)) {
            TuneLoad load = tuneLoad(test.bytes.data(), test.given, kRate);
            EXPECT_EQ(load.status.ok, test.verdict == VORN3_PROBE_LOADS) << test.name;
            tuneFree(load.tune);
        }
    }
}

TEST(TuneTest, CellsReadAsTrackersShowThem) {
    xm::Module xmModule = smallModule();
    xmModule.channels = 2;
    xmModule.patterns[0].rows = 2;
    xmModule.patterns[0].cells = {
        {.note = 49, .instrument = 1, .volume = 0x30, .effect = 10, .parameter = 0x0F},
        {.note = 97},
        {},
        {.effect = 15, .parameter = 0x7D}};
    s3m::Module s3mModule = s3mOrders({0});
    s3mModule.patterns[0].cells = {
        {.note = 0x40, .instrument = 1, .volume = 64, .command = s3m::command('D'), .info = 0x0F}};
    const struct {
        std::vector<std::uint8_t> bytes;
        std::int32_t row;
        std::int32_t channel;
        const char* text;
    } cases[] = {
        {xm::writeModule(xmModule), 0, 0, "C-4 01 v32 A0F"},
        {xm::writeModule(xmModule), 0, 1, "=== .. ... ..."},
        {xm::writeModule(xmModule), 1, 0, "... .. ... ..."},
        {xm::writeModule(xmModule), 1, 1, "... .. ... F7D"},
        {xm::writeModule(xmModule), 2, 0, ""},  // no such row
        {xm::writeModule(xmModule), 0, 2, ""},  // no such channel
        {s3m::writeModule(s3mModule), 0, 0, "C-4 01 v64 D0F"},
    };
    for (const auto& test : cases) {
        TunePtr tune = loadTune(test.bytes);
        EXPECT_EQ(tuneCellText(*tune, 0, test.row, test.channel), test.text)
            << test.row << " " << test.channel;
    }
    char cut[4];
    TunePtr tune = loadTune(xm::writeModule(xmModule));
    EXPECT_EQ(vorn3_cell_text(tune.get(), 0, 0, 0, cut, sizeof cut), 14);
    EXPECT_STREQ(cut, "C-4");
    EXPECT_EQ(vorn3_pattern_rows(tune.get(), 0), 2);
    EXPECT_EQ(vorn3_pattern_rows(tune.get(), 1), 0);
}

// The pattern of a one-order S3M replaced by `rows` bytes counted in its stored length and
// `after` bytes past it, at the end of the file.
std::vector<std::uint8_t> s3mWithPatternBytes(const std::vector<std::uint8_t>& rows,
                                              const std::vector<std::uint8_t>& after) {
    std::vector<std::uint8_t> bytes = s3m::writeModule(s3mOrders({0}));
    const std::size_t pointerAt = 0x60 + 1 + 2;  // past the order and the instrument
    while (bytes.size() % 16 != 0)
        bytes.push_back(0);
    bytes[pointerAt] = static_cast<std::uint8_t>(bytes.size() / 16);
    bytes[pointerAt + 1] = static_cast<std::uint8_t>(bytes.size() / 16 >> 8);
    bytes.push_back(static_cast<std::uint8_t>(rows.size()));
    bytes.push_back(static_cast<std::uint8_t>(rows.size() >> 8));
    bytes.insert(bytes.end(), rows.begin(), rows.end());
    bytes.insert(bytes.end(), after.begin(), after.end());
    return bytes;
}

// Trackers read a pattern's rows on to the 64th row's end, past a stored length that cuts
// them short, and a channel named twice in a row keeps what the later cell leaves out:
// both peers time these modules alike.
TEST(TuneTest, S3mRowsReadOnPastTheirStoredLength) {
    constexpr double kTick = 0.02;                     // 125 BPM
    const std::vector<std::uint8_t> emptyRows(63, 0);  // 63 rows, each ended
    const struct {
        std::vector<std::uint8_t> after;
        double seconds;
    } cases[] = {
        {{}, 64 * 6 * kTick},
        // Channel 1 sets speed 32 (A20) on the last row.
        {{0x81, 0x01, 0x20, 0x00}, (63 * 6 + 32) * kTick},
        // Then names a note on channel 1 alone: the speed stays.
        {{0x81, 0x01, 0x20, 0x21, 0x40, 0x01, 0x00}, (63 * 6 + 32) * kTick},
        // Then sets speed 4 on it: the later command wins.
        {{0x81, 0x01, 0x20, 0x81, 0x01, 0x04, 0x00}, (63 * 6 + 4) * kTick},
    };
    for (const auto& test : cases) {
        TunePtr tune = loadTune(s3mWithPatternBytes(emptyRows, test.after));
        EXPECT_NEAR(tuneDuration(*tune), test.seconds, 1e-3) << test.after.size();
    }
}

// Root mean square of the values.
double rmsOf(const std::vector<float>& values) {
    double sum = 0;
    for (const float value : values)
        sum += double{value} * value;
    return std::sqrt(sum / static_cast<double>(values.size()));
}

// ST3 mixes in proportion to the master volume's low 7 bits (16 at least), and in stereo
// 11/8 as loud as in mono: a note panned to the centre either way plays at the ratio
// to the default's (48, stereo) that the header's byte gives, however far above it.
TEST(TuneTest, S3mMasterVolumeScalesAsTheFormatSays) {
    constexpr double kMono = 8.0 / 11.0;
    const std::pair<std::uint8_t, double> cases[] = {
        {0xB0, 1.0},   {0xF0, 112.0 / 48},         {0xFF, 127.0 / 48},        {0x88, 16.0 / 48},
        {0x30, kMono}, {0x70, 112.0 / 48 * kMono}, {0x10, 16.0 / 48 * kMono},
    };
    const auto levelAt = [](std::uint8_t master) {
        s3m::Module module = s3mOrders({0});
        module.masterVolume = master;
        s3m::Instrument& square = module.instruments[0];
        square.frames.resize(400);
        for (std::size_t i = 0; i < square.frames.size(); ++i)
            square.frames[i] = i % 40 < 20 ? 6000 : -6000;
        square.loop = true;
        square.loopEnd = 400;
        module.patterns[0].cells = {{.note = 0x40,
                                     .instrument = 1,
                                     .command = s3m::command('X'),
                                     .info = 0x40}};  // the centre
        TunePtr tune = loadTune(s3m::writeModule(module));
        std::vector<float> sound(2 * kRate);
        tuneRender(*tune, sound.data(), kRate);
        return rmsOf(sound);
    };
    // Each side's volume is a byte: 127 or so at the centre, each rounded down.
    constexpr double kByteSteps = 2.0 / 127;
    const double reference = levelAt(0xB0);
    ASSERT_GT(reference, 0);
    for (const auto& [master, ratio] : cases)
        EXPECT_NEAR(levelAt(master) / reference, ratio, kByteSteps) << int{master};
}

TEST(TuneTest, FloatsAndIntegersAreTheSameMix) {
    TunePtr tune = loadTune(xm::demoModule());
    std::vector<std::int16_t> integers(2 * 20000);
    std::vector<float> floats(2 * 20000);
    ASSERT_EQ(tuneRender(*tune, integers.data(), 20000), 20000);
    ASSERT_TRUE(tuneSeekTime(*tune, 0).ok);
    ASSERT_EQ(tuneRender(*tune, floats.data(), 20000), 20000);
    for (std::size_t i = 0; i < floats.size(); ++i) {
        const float scaled = std::clamp(floats[i] * 32768.0f, -32768.0f, 32767.0f);
        ASSERT_EQ(integers[i], static_cast<std::int16_t>(std::nearbyint(scaled))) << i;
    }
}

// A gain of g dB scales every value by 10^(g / 20), within -96..24 dB; 0 dB and a value
// that is not a number leave the mix as it is.
TEST(TuneTest, GainScalesEveryValueByItsDecibels) {
    struct Case {
        double decibels;
        double factor;
    };
    const Case cases[] = {{0, 1},
                          {-6, std::pow(10.0, -6 / 20.0)},
                          {7.5, std::pow(10.0, 7.5 / 20.0)},
                          {-200, std::pow(10.0, -96 / 20.0)},
                          {40, std::pow(10.0, 24 / 20.0)},
                          {std::nan(""), 1}};
    constexpr std::int32_t kFrames = 20000;
    TunePtr tune = loadTune(xm::demoModule());
    std::vector<float> plain(2 * kFrames);
    ASSERT_EQ(tuneRender(*tune, plain.data(), kFrames), kFrames);
    for (const Case& test : cases) {
        ASSERT_TRUE(tuneSeekTime(*tune, 0).ok);
        tuneSetGain(*tune, 0);
        tuneSetGain(*tune, test.decibels);
        std::vector<float> scaled(2 * kFrames);
        ASSERT_EQ(tuneRender(*tune, scaled.data(), kFrames), kFrames);
        for (std::size_t i = 0; i < scaled.size(); ++i) {
            ASSERT_NEAR(scaled[i], plain[i] * test.factor, 1e-6 * (1 + std::abs(plain[i])))
                << test.decibels << " dB, value " << i;
        }
    }
}

// A tune's interpolation is its own and changes what it renders from the next 20 ms it
// mixes; an unknown mode changes nothing.
TEST(TuneTest, InterpolationIsChosenPerTuneFromTheNextPieceMixed) {
    constexpr std::int32_t kFrames = 20000;
    constexpr std::int32_t kSwitch = 10000;
    constexpr std::int32_t kMixedAhead = 882;  // at most 20 ms at 44.1 kHz
    const auto render = [](Tune& tune, std::int32_t from, std::int32_t to) {
        std::vector<std::int16_t> frames(2 * static_cast<std::size_t>(to - from));
        EXPECT_EQ(tuneRender(tune, frames.data(), to - from), to - from);
        return frames;
    };
    TunePtr linear = loadTune(xm::demoModule());
    TunePtr sinc = loadTune(xm::demoModule());
    TunePtr switched = loadTune(xm::demoModule());
    ASSERT_TRUE(tuneSetInterpolation(*sinc, Interpolation::sinc).ok);
    EXPECT_EQ(tuneInterpolation(*sinc), Interpolation::sinc);
    EXPECT_EQ(tuneInterpolation(*linear), Interpolation::linear);
    const std::vector<std::int16_t> plain = render(*linear, 0, kFrames);
    const std::vector<std::int16_t> smooth = render(*sinc, 0, kFrames);
    EXPECT_NE(plain, smooth);

    std::vector<std::int16_t> both = render(*switched, 0, kSwitch);
    ASSERT_TRUE(tuneSetInterpolation(*switched, Interpolation::sinc).ok);
    const std::vector<std::int16_t> after = render(*switched, kSwitch, kFrames);
    both.insert(both.end(), after.begin(), after.end());
    const auto at = [](std::int32_t frame) { return 2 * static_cast<std::ptrdiff_t>(frame); };
    EXPECT_TRUE(std::equal(both.begin(), both.begin() + at(kSwitch), plain.begin()));
    EXPECT_TRUE(std::equal(both.begin() + at(kSwitch + kMixedAhead), both.end(),
                           smooth.begin() + at(kSwitch + kMixedAhead)));

    const Status refused = tuneSetInterpolation(*sinc, static_cast<Interpolation>(4));
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.message, "no interpolation mode 4");
    EXPECT_EQ(tuneInterpolation(*sinc), Interpolation::sinc);
    EXPECT_FALSE(vorn3_set_interpolation(nullptr, VORN3_INTERPOLATION_CUBIC).ok);
    EXPECT_EQ(vorn3_get_interpolation(nullptr), -1);
}

TEST(TuneTest, AMutedChannelIsSilentAndItsRowsGoOn) {
    xm::Module module = smallModule();
    module.channels = 2;
    module.patterns[0].rows = 2;
    module.patterns[0].cells = {noteCell(49), noteCell(61), {}, {}};
    xm::Module alone = module;
    alone.patterns[0].cells = {noteCell(49), {}, {}, {}};
    TunePtr tune = loadTune(module);
    tuneMuteChannel(*tune, 1, true);
    tuneMuteChannel(*tune, 7, true);  // no such channel: nothing
    TunePtr reference = loadTune(alone);
    EXPECT_EQ(renderAll(*tune), renderAll(*reference));
}

// The largest magnitude among the values, as a share of full scale.
float peakOf(const std::vector<float>& values) {
    float peak = 0;
    for (const float value : values)
        peak = std::max(peak, std::abs(value));
    return peak;
}

TEST(TuneTest, LiveStateFollowsTheRowsRendered) {
    constexpr std::int32_t kChunkFrames = kRate / 50;
    xm::Module module = smallModule();
    module.channels = 2;
    module.instruments[0].samples[0].frames.assign(64, 12000);
    module.instruments[0].samples[0].loop = xm::Loop::forward;
    module.instruments[0].samples[0].loopLength = 64;
    module.patterns[0].rows = 4;
    module.patterns[0].cells = {noteCell(49),      {},            // row 0
                                columnCell(0x30),  noteCell(61),  // row 1: volume 32
                                columnCell(0x10),  {},            // row 2: volume 0
                                effectCell(15, 3), {}};           // row 3: speed 3
    struct Row {
        std::int32_t speed;
        vorn3_channel_state channels[2];  // level: sounding or not
    };
    const Row rows[] = {
        {6, {{49, 1, 64, 1}, {0, 0, 0, 0}}},
        {6, {{49, 1, 32, 1}, {61, 1, 64, 1}}},
        {6, {{49, 1, 0, 0}, {61, 1, 64, 1}}},
        {3, {{49, 1, 0, 0}, {61, 1, 64, 1}}},
    };
    TunePtr tune = loadTune(module);
    TunePtr solo = loadTune(module);  // the second channel alone, for its level
    tuneMuteChannel(*solo, 0, true);
    EXPECT_EQ(tuneState(*tune).channels[0].level, 0);  // levels are measured once asked for
    std::atomic<bool> rendering = true;
    std::thread reader([&] {
        while (rendering)
            EXPECT_LT(tuneState(*tune).playback.row, 4);
    });
    for (std::int32_t r = 0; r < 4; ++r) {
        SCOPED_TRACE(r);
        // Each row starts a chunk: two chunks in, the state is the row's and the level
        // past the ramp to the row's volume.
        std::vector<float> chunk(2 * kChunkFrames);
        for (Tune* each : {tune.get(), solo.get(), tune.get(), solo.get()})
            ASSERT_EQ(tuneRender(*each, chunk.data(), kChunkFrames), kChunkFrames);
        const TuneState state = tuneState(*tune);
        EXPECT_EQ(state.playback.row, r);
        EXPECT_EQ(state.playback.pattern, 0);
        EXPECT_EQ(state.playback.speed, rows[r].speed);
        EXPECT_EQ(state.playback.bpm, 125);
        for (std::int32_t c = 0; c < 2; ++c) {
            const vorn3_channel_state& want = rows[r].channels[c];
            const vorn3_channel_state& got = state.channels[c];
            EXPECT_EQ(got.note, want.note) << c;
            EXPECT_EQ(got.instrument, want.instrument) << c;
            EXPECT_EQ(got.volume, want.volume) << c;
            EXPECT_EQ(got.level > 0, want.level > 0) << c;
        }
        EXPECT_NEAR(state.channels[1].level, peakOf(chunk), 1e-3f);
        const std::int32_t rest = rows[r].speed * kChunkFrames - 2 * kChunkFrames;
        std::vector<float> after(2 * rest);
        ASSERT_EQ(tuneRender(*tune, after.data(), rest), rest);
        ASSERT_EQ(tuneRender(*solo, after.data(), rest), rest);
    }
    rendering = false;
    reader.join();
    // A seek lands on the row sought, wherever in a chunk it starts.
    TunePtr demo = loadTune(xm::demoModule());
    for (const auto& [order, row] : {std::pair{0, 5}, std::pair{1, 1}, std::pair{2, 16}}) {
        ASSERT_TRUE(tuneSeekPosition(*demo, order, row).ok);
        EXPECT_EQ(tuneState(*demo).playback.order, order);
        EXPECT_EQ(tuneState(*demo).playback.row, row);
    }
}

TEST(TuneTest, InformationComesFromTheFile) {
    xm::Module module = xm::demoModule();
    module.name = "Quiet Harbour";
    module.instruments[0].name = "kick";
    module.instruments[0].samples[0].name = "kick sample";
    module.tempo = 5;
    module.bpm = 133;
    TunePtr tune = loadTune(module);
    const ModuleInfo info = tuneInfo(*tune);
    EXPECT_EQ(info.title, "Quiet Harbour");
    EXPECT_EQ(info.format, "XM 1.04");
    EXPECT_EQ(info.channels, module.channels);
    EXPECT_EQ(info.orders, static_cast<std::int32_t>(module.orders.size()));
    EXPECT_EQ(info.patterns, static_cast<std::int32_t>(module.patterns.size()));
    ASSERT_EQ(info.instruments.size(), module.instruments.size());
    EXPECT_EQ(info.instruments[0], "kick");
    EXPECT_EQ(info.samples[0], "kick sample");
    EXPECT_TRUE(info.linearFrequencies);
    EXPECT_EQ(info.speed, 5);
    EXPECT_EQ(info.bpm, 133);
}

TEST(TuneTest, LoadingFailsWithAReason) {
    const std::vector<std::uint8_t> notAModule(300, 7);
    const std::vector<std::uint8_t> song = xm::writeModule(smallModule());
    const struct {
        const void* data;
        std::size_t size;
        std::int32_t rate;
    } cases[] = {
        {notAModule.data(), notAModule.size(), kRate},
        {nullptr, 0, kRate},
        {song.data(), song.size(), 100},
        {song.data(), 20, kRate},
    };
    for (const auto& test : cases) {
        const TuneLoad loaded = tuneLoad(test.data, test.size, test.rate);
        EXPECT_EQ(loaded.tune, nullptr);
        EXPECT_FALSE(loaded.status.ok);
        EXPECT_FALSE(loaded.status.message.empty());
    }
    const TuneLoad missing = tuneLoadFile("/nonexistent/song.xm", kRate);
    EXPECT_EQ(missing.tune, nullptr);
    EXPECT_NE(missing.status.message.find("No such file"), std::string::npos);
    const TuneLoad unnamed = tuneLoadFile(nullptr, kRate);
    EXPECT_EQ(unnamed.tune, nullptr);
    EXPECT_EQ(unnamed.status.message, "no file named");
    tuneFree(nullptr);
}

}  // namespace
}  // namespace vorn3
