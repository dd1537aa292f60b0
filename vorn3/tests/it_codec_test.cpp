// IT 2.14 and 2.15 sample compression, checked against the IT writer's encoder, blocks
// assembled bit by bit here, and damaged data; and the writer's layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "formats/reader.h"
#include "formats/sample_codecs.h"
#include "writers/it_writer.h"

namespace vorn3 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Frames = std::vector<std::int16_t>;

constexpr std::int16_t kUntouched = 0x5555;

std::uint32_t blockFrames(bool sixteenBit) {
    return sixteenBit ? kItBlockFrames16 : kItBlockFrames8;
}

// What a sample of that depth keeps of each frame.
Frames stored(Frames frames, bool sixteenBit) {
    if (!sixteenBit)
        for (std::int16_t& frame : frames)
            frame = static_cast<std::int16_t>(frame & 0xFF00);
    return frames;
}

// One channel read by the library from `bytes`, with `length` frames asked for.
Frames readCompressed(const Bytes& bytes, std::size_t at, std::uint32_t length, bool sixteenBit,
                      bool it215, std::size_t* end = nullptr) {
    MemoryStream memory{bytes.data(), static_cast<std::int32_t>(bytes.size()), 0};
    SongStream stream{{nullptr, nullptr, memoryRead, memorySeek, memoryTell}, &memory};
    Reader reader = openReader(&stream);
    seekTo(reader, static_cast<std::int64_t>(at));
    Module module{};
    ModuleLoad load{reader, module, nullptr};
    Sample sample{};
    sample.length = length;
    sample.loopLength = length;
    sample.bits = sixteenBit ? 16 : 8;
    sample.loopType = LoopType::none;
    EXPECT_TRUE(readItCompressedSample(load, sample, 0, 0, it215));
    if (end) *end = static_cast<std::size_t>(reader.position);
    Frames frames(sample.data, sample.data + sample.length);
    releaseFrames(sample.data);
    return frames;
}

Frames signal(char kind, std::uint32_t length) {
    std::mt19937 random(length);
    Frames frames(length);
    for (std::uint32_t k = 0; k < length; ++k) {
        if (kind == 'n') frames[k] = static_cast<std::int16_t>(random());
        if (kind == 'r') frames[k] = static_cast<std::int16_t>(k * 97);
    }
    return frames;
}

TEST(ItCodecTest, CompressedSamplesDecodeToTheirFrames) {
    for (bool sixteenBit : {false, true}) {
        const std::uint32_t block = blockFrames(sixteenBit);
        for (bool it215 : {false, true}) {
            for (char kind : {'s', 'n', 'r'}) {  // silence, full-scale noise, ramp
                for (std::uint32_t length : {1u, block - 1, block, block + 1, 2 * block + 17}) {
                    const Frames frames = signal(kind, length);
                    const Bytes bytes = it::compressSample(frames, sixteenBit, it215);
                    std::size_t end = 0;
                    EXPECT_EQ(readCompressed(bytes, 0, length, sixteenBit, it215, &end),
                              stored(frames, sixteenBit))
                        << sixteenBit << it215 << kind << length;
                    EXPECT_EQ(end, bytes.size());
                }
            }
        }
    }
}

struct Field {
    std::int32_t bits;
    std::uint32_t value;
};

Bytes assemble(const std::vector<Field>& fields) {
    Bytes bytes;
    std::size_t position = 0;
    for (const Field& field : fields) {
        for (std::int32_t i = 0; i < field.bits; ++i, ++position) {
            if (position % 8 == 0) bytes.push_back(0);
            bytes.back() |= static_cast<std::uint8_t>((field.value >> i & 1) << position % 8);
        }
    }
    return bytes;
}

TEST(ItCodecTest, HandAssembledBlocksDecodeByTheWidthRules) {
    struct Case {
        const char* what;
        bool sixteenBit;
        bool it215;
        std::vector<Field> fields;
        std::vector<std::int32_t> expected;  // sample values
    };
    const Case cases[] = {
        {"widest values", false, false, {{9, 1}, {9, 2}, {9, 0xFD}}, {1, 3, 0}},
        {"integrated twice", false, true, {{9, 1}, {9, 2}, {9, 0xFD}}, {1, 4, 4}},
        {"widest to 3, lowest value to 1 and to 9",
         false,
         false,
         {{9, 0x100 | 2}, {3, 3}, {3, 7}, {3, 4}, {3, 0}, {1, 0}, {1, 1}, {3, 7}, {9, 5}},
         {3, 2, 2, 7}},
        {"band of width 8 to 6 and back",
         false,
         false,
         {{9, 0x100 | 7},
          {8, 123},
          {8, 0x84},
          {8, 0x7C + 5},
          {6, 31},
          {6, 0x20},
          {3, 6},
          {8, 0x83},
          {9, 0x80}},
         {123, -1, 30, -98}},
        {"16-bit widths 17, 16, 4",
         true,
         false,
         {{17, 1000},
          {17, 0x10000 | 15},
          {16, 0x8000 - 8 + 3},
          {4, 7},
          {4, 8},
          {4, 15},
          {17, 0xFFFF}},
         {1000, 1007, 1006}},
        {"width out of range", false, false, {{9, 1}, {9, 0x100 | 20}, {9, 1}}, {1}},
        {"bits run out", true, false, {{17, 5}, {9, 0}}, {5}},
    };
    for (const Case& c : cases) {
        const Bytes block = assemble(c.fields);
        const auto frames = static_cast<std::uint32_t>(c.expected.size() + 2);
        Frames out(frames, kUntouched);
        const std::uint32_t decoded = decompressItBlock(block.data(), block.size(), out.data(),
                                                        frames, c.sixteenBit, c.it215);
        Frames expected(frames, kUntouched);
        for (std::size_t k = 0; k < c.expected.size(); ++k)
            expected[k] = static_cast<std::int16_t>(c.expected[k] * (c.sixteenBit ? 1 : 256));
        EXPECT_EQ(decoded, c.expected.size()) << c.what;
        EXPECT_EQ(out, expected) << c.what;
    }
}

void put16At(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

TEST(ItCodecTest, DamagedStreamsDecodeAPrefixAndLeaveTheRestZero) {
    struct Case {
        const char* what;
        void (*damage)(Bytes& bytes, std::size_t secondBlock, std::size_t thirdBlock);
        std::uint32_t minBlocks;  // of frames decoded as written
        std::uint32_t maxBlocks;
    };
    const Case cases[] = {
        {"cut inside the second block",
         [](Bytes& b, std::size_t second, std::size_t) { b.resize(second + 100); }, 1, 2},
        {"cut after the first block",
         [](Bytes& b, std::size_t second, std::size_t) { b.resize(second); }, 1, 1},
        {"cut inside the first count", [](Bytes& b, std::size_t, std::size_t) { b.resize(1); }, 0,
         0},
        {"zero-length second block",
         [](Bytes& b, std::size_t second, std::size_t) { put16At(b, second, 0); }, 1, 1},
        {"last count past the end",
         [](Bytes& b, std::size_t, std::size_t third) { put16At(b, third, 0xFFFF); }, 3, 3},
    };
    for (bool sixteenBit : {false, true}) {
        const std::uint32_t block = blockFrames(sixteenBit);
        const std::uint32_t length = 2 * block + block / 2;
        const Frames frames = stored(signal('n', length), sixteenBit);
        const Bytes whole = it::compressSample(frames, sixteenBit, true);
        const std::size_t second = 2 + (whole[0] | whole[1] << 8);
        const std::size_t third = second + 2 + (whole[second] | whole[second + 1] << 8);
        for (const Case& c : cases) {
            Bytes bytes = whole;
            c.damage(bytes, second, third);
            const Frames decoded = readCompressed(bytes, 0, length, sixteenBit, true);
            ASSERT_EQ(decoded.size(), std::min<std::size_t>(length, 8 * bytes.size())) << c.what;
            const auto prefix = static_cast<std::uint32_t>(
                std::mismatch(decoded.begin(), decoded.end(), frames.begin()).first -
                decoded.begin());
            EXPECT_GE(prefix, std::min(length, c.minBlocks * block)) << c.what << sixteenBit;
            EXPECT_LE(prefix, std::min(length, c.maxBlocks * block)) << c.what << sixteenBit;
            EXPECT_TRUE(std::all_of(decoded.begin() + prefix, decoded.end(),
                                    [](std::int16_t frame) { return frame == 0; }))
                << c.what << sixteenBit;
        }
    }
}

TEST(ItCodecTest, RandomBytesStayInsideTheBlockAndTheFrames) {
    std::mt19937 random(214);
    for (std::int32_t trial = 0; trial < 400; ++trial) {
        Bytes block(random() % 64);  // exactly sized: reading past it trips the sanitizer
        for (std::uint8_t& byte : block)
            byte = static_cast<std::uint8_t>(random());
        const bool sixteenBit = trial % 2 == 1;
        const bool it215 = trial % 4 >= 2;
        const std::uint32_t frames = random() % 100 + 1;
        Frames out(frames, kUntouched);
        const std::uint32_t decoded =
            decompressItBlock(block.data(), block.size(), out.data(), frames, sixteenBit, it215);
        ASSERT_LE(decoded, frames);
        EXPECT_TRUE(std::all_of(out.begin() + decoded, out.end(),
                                [](std::int16_t frame) { return frame == kUntouched; }));
        Bytes stream = {static_cast<std::uint8_t>(block.size()), 0};
        stream.insert(stream.end(), block.begin(), block.end());
        stream.push_back(0xFF);  // a count with nothing after it
        const Frames read = readCompressed(stream, 0, frames, sixteenBit, it215);
        ASSERT_LE(decoded, read.size());
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + decoded, read.begin()));
        EXPECT_TRUE(std::all_of(read.begin() + decoded, read.end(),
                                [](std::int16_t frame) { return frame == 0; }));
    }
}

std::uint32_t read32(const Bytes& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

// Offsets from the tracker's technical text.
TEST(ItCodecTest, WriterLaysOutHeadersAndPacksPatterns) {
    it::Module module;
    module.channels = 2;
    module.message = "hi";
    module.instruments.resize(1);
    it::Sample sample;
    sample.frames = signal('n', 5000);
    sample.rightFrames = signal('r', 5000);
    sample.sixteenBit = true;
    sample.coding = it::Coding::it215;
    module.samples = {sample};
    const it::Cell note{60, 1, 64, it::Effect{1, 6}};
    module.patterns.push_back({.rows = 3, .cells = {note, {}, note, {.note = 61}, note}});
    const Bytes bytes = it::writeModule(module);

    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), Bytes({'I', 'M', 'P', 'M'}));
    EXPECT_EQ(bytes[0x20] | bytes[0x21] << 8, 2);  // orders
    EXPECT_EQ(bytes[0x2E], 1);                     // special: message
    EXPECT_EQ(bytes[0x36], 3);                     // message length with its zero
    EXPECT_EQ(bytes[read32(bytes, 0x38) + 1], 'i');
    const std::uint32_t instrumentAt = read32(bytes, 0xC0 + 2);
    const std::uint32_t sampleAt = read32(bytes, 0xC0 + 2 + 4);
    const std::uint32_t patternAt = read32(bytes, 0xC0 + 2 + 8);
    EXPECT_EQ(bytes[instrumentAt], 'I');
    EXPECT_EQ(sampleAt - instrumentAt, 554u);
    EXPECT_EQ(bytes[sampleAt + 0x12], 1 | 2 | 4 | 8);  // data, 16-bit, stereo, compressed
    EXPECT_EQ(bytes[sampleAt + 0x2E], 1 | 4);          // signed, 2.15
    EXPECT_EQ(read32(bytes, sampleAt + 0x30), 5000u);

    std::size_t rightAt = 0;
    EXPECT_EQ(readCompressed(bytes, read32(bytes, sampleAt + 0x48), 5000, true, true, &rightAt),
              sample.frames);
    EXPECT_EQ(readCompressed(bytes, rightAt, 5000, true, true), sample.rightFrames);

    // Row 1 repeats channel 1's values, row 2 its mask too; channel 2 stores a note alone.
    const Bytes packed = {0x81, 0x0F, 60, 1, 64, 1, 6, 0, 0x81, 0xF0, 0x82, 0x01, 61, 0, 0x01, 0};
    EXPECT_EQ(bytes[patternAt], packed.size());
    EXPECT_EQ(bytes[patternAt + 2], 3);  // rows
    EXPECT_EQ(Bytes(bytes.begin() + patternAt + 8, bytes.begin() + patternAt + 8 + packed.size()),
              packed);
}

}  // namespace
}  // namespace vorn3
