// vorn3play --wav on a module written by the XM writer: the notes are in the file where
// the rows put them, at their pitches.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "writers/xm_writer.h"

namespace {

constexpr std::int32_t kRowFrames = 5712;  // speed 7 at 135 BPM
constexpr std::int32_t kRampFrames = 128;
constexpr std::uint8_t kC4 = 49;
constexpr std::uint8_t kC5 = 61;

// Named after the test as well: tests may run at once in processes of their own.
std::string tempPath(const char* name) {
    return ::testing::TempDir() + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
           "_" + name;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The exit code of vorn3play with these arguments, its standard error into `errors`.
int runPlayer(const std::string& arguments, const std::string& errors) {
    return WEXITSTATUS(
        std::system((std::string(VORN3PLAY) + " " + arguments + " 2>" + errors).c_str()));
}

// A square wave of 64 frames: at C-4 it plays 8363 / 64 cycles per second.
xm::Instrument squareWave(std::uint8_t panning) {
    xm::Sample sample;
    sample.sixteenBit = true;
    for (int i = 0; i < 64; ++i)
        sample.frames.push_back(static_cast<std::int16_t>(i < 32 ? 8000 : -8000));
    sample.loop = xm::Loop::forward;
    sample.loopLength = 64;
    sample.panning = panning;
    xm::Instrument instrument;
    instrument.samples.push_back(sample);
    return instrument;
}

// A song of `rows` rows at 7 ticks and 135 BPM, with one note at its start on the first
// of its channels.
std::string writeOneNoteSong(std::uint16_t channels, std::uint16_t rows, const char* name) {
    xm::Module module;
    module.channels = channels;
    module.tempo = 7;
    module.bpm = 135;
    xm::Pattern pattern;
    pattern.rows = rows;
    pattern.cells.resize(static_cast<std::size_t>(rows * channels));
    pattern.cells[0] = {.note = kC4, .instrument = 1};
    module.patterns.push_back(pattern);
    module.instruments = {squareWave(128)};
    const std::string path = tempPath(name);
    writeFile(path, xm::writeModule(module));
    return path;
}

struct Stereo {
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
};

Stereo readWav(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    Stereo sound;
    for (std::size_t at = 44; at + 4 <= bytes.size(); at += 4) {
        std::int16_t frame[2];
        std::memcpy(frame, bytes.data() + at, sizeof frame);
        sound.left.push_back(frame[0]);
        sound.right.push_back(frame[1]);
    }
    return sound;
}

bool silentBetween(const std::vector<std::int16_t>& side, std::int32_t from, std::int32_t to) {
    for (std::int32_t i = from; i < to; ++i) {
        if (side[i] != 0) return false;
    }
    return true;
}

bool soundingBetween(const std::vector<std::int16_t>& side, std::int32_t from, std::int32_t to) {
    for (std::int32_t i = from; i < to; ++i) {
        if (side[i] == 0) return false;
    }
    return true;
}

std::int32_t signChanges(const std::vector<std::int16_t>& side, std::int32_t from,
                         std::int32_t to) {
    std::int32_t changes = 0;
    for (std::int32_t i = from + 1; i < to; ++i)
        changes += (side[i] < 0) != (side[i - 1] < 0);
    return changes;
}

TEST(Vorn3playTest, RendersEachNoteAtItsRowAndPitch) {
    xm::Module module;
    module.channels = 2;
    module.tempo = 7;
    module.bpm = 135;
    xm::Pattern pattern;
    pattern.rows = 16;
    pattern.cells.resize(16 * 2);
    pattern.cells[0 * 2 + 0] = {.note = kC4, .instrument = 1};
    pattern.cells[4 * 2 + 1] = {.note = kC5, .instrument = 2};
    pattern.cells[8 * 2 + 0] = {.note = xm::kKeyOff};
    pattern.cells[12 * 2 + 1] = {.note = xm::kKeyOff};
    module.patterns.push_back(pattern);
    module.instruments = {squareWave(0), squareWave(255)};
    const std::string song = tempPath("notes.xm");
    const std::string wav = tempPath("notes.wav");
    writeFile(song, xm::writeModule(module));
    ASSERT_EQ(runPlayer("--wav " + wav + " " + song, tempPath("errors.txt")), 0);

    const Stereo sound = readWav(wav);
    const auto frames = static_cast<std::int32_t>(sound.left.size());
    ASSERT_EQ(frames, 16 * kRowFrames);  // the song plays to its end, then stops

    EXPECT_TRUE(soundingBetween(sound.left, 1, 8 * kRowFrames));
    const std::int32_t songEnd = 16 * kRowFrames;  // what follows is the song again
    EXPECT_TRUE(silentBetween(sound.left, 8 * kRowFrames + kRampFrames, songEnd));
    EXPECT_TRUE(silentBetween(sound.right, 0, 4 * kRowFrames + 1));
    EXPECT_TRUE(soundingBetween(sound.right, 4 * kRowFrames + 1, 12 * kRowFrames));
    EXPECT_TRUE(silentBetween(sound.right, 12 * kRowFrames + kRampFrames, songEnd));

    // C-4: 8363 / 64 Hz, two sign changes a cycle; C-5 an octave above.
    const double stretch = 7 * kRowFrames - 2000;
    EXPECT_NEAR(signChanges(sound.left, 1000, 1000 + static_cast<std::int32_t>(stretch)),
                2 * stretch * 8363 / 64 / 44100, 2);
    const std::int32_t rightFrom = 4 * kRowFrames + 1000;
    EXPECT_NEAR(signChanges(sound.right, rightFrom, rightFrom + static_cast<std::int32_t>(stretch)),
                2 * stretch * 2 * 8363 / 64 / 44100, 2);

    // From row 4 with the left channel silenced: the rest of the song, the right's note
    // at once. Row 4 by its time and the right channel alone are the same sound.
    const std::string errors = tempPath("errors.txt");
    ASSERT_EQ(runPlayer("--start 0/4 --mute 0 --wav " + wav + " " + song, errors), 0);
    const Stereo fromRow = readWav(wav);
    ASSERT_EQ(fromRow.left.size(), 12u * kRowFrames);
    EXPECT_TRUE(silentBetween(fromRow.left, 0, 12 * kRowFrames));
    EXPECT_TRUE(soundingBetween(fromRow.right, 1, 8 * kRowFrames));
    EXPECT_TRUE(silentBetween(fromRow.right, 8 * kRowFrames + kRampFrames, 12 * kRowFrames));
    const std::string rowTime = std::to_string(4.0 * kRowFrames / 44100);
    ASSERT_EQ(runPlayer("-s " + rowTime + " -S 1 -o " + wav + " " + song, errors), 0);
    const Stereo fromTime = readWav(wav);
    EXPECT_EQ(fromTime.left, fromRow.left);
    EXPECT_EQ(fromTime.right, fromRow.right);
}

TEST(Vorn3playTest, AFileItCannotLoadGivesOneLineNamingItAndFails) {
    const std::string notAModule = tempPath("not_a_module.xm");
    writeFile(notAModule, {'h', 'e', 'l', 'l', 'o'});
    const std::string errors = tempPath("errors.txt");
    for (const std::string& file : {notAModule, tempPath("missing.xm")}) {
        EXPECT_NE(runPlayer("--wav " + tempPath("never.wav") + " " + file, errors), 0);
        std::ifstream said(errors);
        const std::string text((std::istreambuf_iterator<char>(said)), {});
        EXPECT_NE(text.find(file), std::string::npos) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    }
}

// Songs one after another into one file; a file that cannot be read is named and skipped.
TEST(Vorn3playTest, RendersSeveralFilesInARowPastABadOne) {
    const std::string song = writeOneNoteSong(1, 4, "short.xm");
    const std::string missing = tempPath("no_such_song.xm");
    const std::string wav = tempPath("row.wav");
    const std::string errors = tempPath("errors.txt");
    EXPECT_EQ(runPlayer("--loops 2 --wav " + wav + " " + song + " " + missing + " " + song, errors),
              1);
    std::ifstream said(errors);
    const std::string text((std::istreambuf_iterator<char>(said)), {});
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find(missing), std::string::npos) << text;
    EXPECT_EQ(readWav(wav).left.size(), 2u * 2 * 4 * kRowFrames);

    ASSERT_EQ(runPlayer("--float --rate 22050 --wav " + wav + " " + song, errors), 0);
    std::ifstream file(wav, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    ASSERT_EQ(bytes.size(), 44u + 4 * kRowFrames / 2 * 8);  // half the rate, 8-byte frames
    EXPECT_EQ(bytes[20], 3);                                // IEEE floats

    const std::string info = tempPath("info.txt");
    ASSERT_EQ(std::system((std::string(VORN3PLAY) + " --info " + song + " >" + info).c_str()), 0);
    std::ifstream listed(info);
    const std::string shown((std::istreambuf_iterator<char>(listed)), {});
    EXPECT_NE(shown.find("channels    1"), std::string::npos) << shown;
    EXPECT_NE(shown.find("XM 1.04"), std::string::npos) << shown;
}

std::string firstLineOf(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// Every kind of command line: what vorn3play returns, the first line it writes (to
// standard output when it succeeds, else to standard error, then its only line) and
// whether the WAV named is there afterwards.
TEST(Vorn3playTest, CommandLines) {
    const std::string song = writeOneNoteSong(4, 8, "song.xm");
    const std::string wav = tempPath("out.wav");
    const std::string missing = tempPath("missing.xm");
    const std::string out = tempPath("out.txt");
    const std::string errors = tempPath("errors.txt");
    const struct {
        std::string arguments;
        int code;
        std::string firstLine;
        bool wavMade;
    } cases[] = {
        {"--help", 0, "usage: vorn3play [OPTION]... [--] FILE...", false},
        {"-V", 0, "vorn3play " VORN3_VERSION, false},
        {"-q --wav=" + wav + " " + song, 0, "", true},
        {"--gain -6 -s 0/2 --solo=0,2-3 -M 3 --sep 50 -i sinc -o " + wav + " -- " + song, 0, "",
         true},
        {"-o " + wav + " - <" + song, 0, "", true},
        {"--loops 0 --seconds 0.5 -o " + wav + " " + song, 0, "", true},
        {"--loops 0 -o " + wav + " " + song, 2,
         "vorn3play: --loops 0 plays forever, which a file takes only with --seconds", false},
        {"--wav --wav " + wav + " " + song, 2,
         "vorn3play: --wav takes a file name or -, not '--wav'", false},
        {"-o " + wav + " " + missing, 1,
         "vorn3play: " + missing + ": cannot open: No such file or directory", false},
        {"-o " + wav + " -s 9/0 " + song, 1, "vorn3play: " + song + ": no such order and row",
         false},
        {"--subsong all -o " + wav + " " + song, 0, "", true},
        {"-o " + wav + " --subsong 1 " + song, 1,
         "vorn3play: " + song + ": no subsong 1 (the module has 1)", false},
        {"--subsong first " + song, 2,
         "vorn3play: --subsong takes a subsong from 0, or all, not 'first'", false},
        {"--seconds", 2, "vorn3play: --seconds needs a time in seconds above 0", false},
        {"--seconds 12abc " + song, 2,
         "vorn3play: --seconds takes a time in seconds above 0, not '12abc'", false},
        {"--rate 7999 " + song, 2,
         "vorn3play: --rate takes a rate from 8000 to 384000 Hz, not '7999'", false},
        {"--loops -1 " + song, 2, "vorn3play: --loops takes a count of 0 or more, not '-1'", false},
        {"--mute 2,1-0 " + song, 2, "vorn3play: --mute takes channels from 0 as 0,2-4, not '2,1-0'",
         false},
        {"--start=1/x " + song, 2,
         "vorn3play: --start takes a time in seconds or ORDER/ROW, not '1/x'", false},
        {"--float=yes " + song, 2, "vorn3play: --float takes no value", false},
        {"--interp spline " + song, 2,
         "vorn3play: --interpolation takes nearest, linear, cubic or sinc, not 'spline'", false},
        {"--s 1 " + song, 2, "vorn3play: unknown option '--s'", false},  // --seconds or --solo
        {"-x " + song, 2, "vorn3play: unknown option '-x'", false},
        {"", 2, "vorn3play: no module given", false},
    };
    for (const auto& line : cases) {
        std::remove(wav.c_str());
        EXPECT_EQ(runPlayer(line.arguments + " >" + out, errors), line.code) << line.arguments;
        EXPECT_EQ(firstLineOf(line.code == 0 ? out : errors), line.firstLine) << line.arguments;
        std::ifstream said(errors);
        const std::string text((std::istreambuf_iterator<char>(said)), {});
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), line.code == 0 ? 0 : 1) << text;
        EXPECT_EQ(std::ifstream(wav).good(), line.wavMade) << line.arguments;
    }
    EXPECT_FALSE(std::ifstream("--wav").good());

    // The manual page describes every option --help lists.
    ASSERT_EQ(runPlayer("--help >" + out, errors), 0);
    std::ifstream manual(VORN3PLAY_MANUAL);
    const std::string page((std::istreambuf_iterator<char>(manual)), {});
    std::ifstream help(out);
    for (std::string word; help >> word;) {
        if (!word.starts_with("--") || word.size() == 2) continue;
        const std::string name = word.substr(2, word.find_first_of("),", 2) - 2);
        EXPECT_NE(page.find("\\-\\-" + name), std::string::npos) << name;
    }
}

}  // namespace
