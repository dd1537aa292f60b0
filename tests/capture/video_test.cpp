// Records a few seconds of the show through ffmpeg and reads the file back with ffprobe.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::string kCapture = GLINT_CAPTURE_PATH;

std::string outputOf(const std::string& command) {
    std::string output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    std::array<char, 256> buffer;
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr)
        output += buffer.data();
    pclose(pipe);
    return output;
}

bool ffmpegInstalled() {
    return std::system("ffprobe -version >/dev/null 2>&1") == 0;
}

class VideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ffmpegInstalled()) {
            if (std::getenv("CI") != nullptr) FAIL() << "ffmpeg is missing";
            GTEST_SKIP() << "ffmpeg is not installed";
        }
        folder =
            std::filesystem::temp_directory_path() / ("glint-video-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string probe(const std::filesystem::path& file, const std::string& entries) {
        return outputOf("ffprobe -v error -show_entries " + entries +
                        " -of default=noprint_wrappers=1 '" + file.string() + "'");
    }

    // The pictures are BT.709 at video range, and the streams must say so: players guess
    // BT.601 for untagged pictures at standard sizes.
    void expectBt709VideoRange(const std::filesystem::path& file) {
        const std::string colour =
            probe(file,
                  "stream=color_range,color_space,color_transfer,color_primaries "
                  "-select_streams v");
        EXPECT_EQ(colour,
                  "color_range=tv\ncolor_space=bt709\ncolor_transfer=bt709\n"
                  "color_primaries=bt709\n")
            << file;
    }

    std::filesystem::path folder;
};

TEST_F(VideoTest, ShortRecordingHasTheShowsPictureAndSound) {
    const std::filesystem::path file = folder / "short.mp4";
    ASSERT_EQ(
        std::system((kCapture + " --video '" + file.string() + "' --seconds 3 >/dev/null").c_str()),
        0);

    const std::string video =
        probe(file, "stream=codec_name,width,height,r_frame_rate -select_streams v");
    EXPECT_NE(video.find("codec_name=h264"), std::string::npos) << video;
    EXPECT_NE(video.find("width=640"), std::string::npos);
    EXPECT_NE(video.find("height=480"), std::string::npos);
    EXPECT_NE(video.find("r_frame_rate=60/1"), std::string::npos);
    expectBt709VideoRange(file);

    const std::string sound =
        probe(file, "stream=codec_name,sample_rate,channels -select_streams a");
    EXPECT_NE(sound.find("codec_name=aac"), std::string::npos) << sound;
    EXPECT_NE(sound.find("sample_rate=44100"), std::string::npos);
    EXPECT_NE(sound.find("channels=2"), std::string::npos);

    const double duration = std::atof(probe(file, "format=duration").substr(9).c_str());
    EXPECT_NEAR(duration, 3.0, 0.05);
    EXPECT_FALSE(std::filesystem::exists(folder / "short.mp4.pictures.mkv"))
        << "temporaries removed";
}

TEST_F(VideoTest, WebmOnRequestAndAtAnotherRate) {
    const std::filesystem::path file = folder / "short.webm";
    ASSERT_EQ(std::system((kCapture + " --video '" + file.string() +
                           "' --format webm --fps 30 --seconds 1 >/dev/null")
                              .c_str()),
              0);
    const std::string streams = probe(file, "stream=codec_name,r_frame_rate");
    EXPECT_NE(streams.find("codec_name=vp9"), std::string::npos) << streams;
    EXPECT_NE(streams.find("codec_name=opus"), std::string::npos);
    EXPECT_NE(streams.find("r_frame_rate=30/1"), std::string::npos);
    expectBt709VideoRange(file);
}

// The frames go to the encoder from another thread while the next is drawn: the video
// must not depend on how the drawing is shared out.
TEST_F(VideoTest, SameVideoFrameForFrameWhateverTheDrawingThreads) {
    std::string frameHashes[2];
    const char* threads[2] = {"1", "3"};
    for (int run = 0; run < 2; ++run) {
        const std::filesystem::path file =
            folder / ("threads" + std::string(threads[run]) + ".mp4");
        ASSERT_EQ(std::system((kCapture + " --video '" + file.string() + "' --threads " +
                               threads[run] + " --seconds 2 >/dev/null")
                                  .c_str()),
                  0);
        frameHashes[run] = outputOf("ffmpeg -v error -i '" + file.string() +
                                    "' -map 0:v -f framemd5 - | grep -v '^#'");
    }
    EXPECT_EQ(std::count(frameHashes[0].begin(), frameHashes[0].end(), '\n'), 120);
    EXPECT_EQ(frameHashes[0], frameHashes[1]);
}

// The width and height of a PNG file, from its header.
std::array<std::uint32_t, 2> pngSize(const std::filesystem::path& file) {
    std::array<unsigned char, 24> header{};
    std::FILE* png = std::fopen(file.c_str(), "rb");
    if (png == nullptr) return {};
    const std::size_t read = std::fread(header.data(), 1, header.size(), png);
    std::fclose(png);
    if (read != header.size()) return {};
    const auto bigEndian = [&header](std::size_t at) {
        return std::uint32_t{header[at]} << 24 | std::uint32_t{header[at + 1]} << 16 |
               std::uint32_t{header[at + 2]} << 8 | header[at + 3];
    };
    return {bigEndian(16), bigEndian(20)};
}

TEST_F(VideoTest, VideoAndFramesAtTheSizeAsked) {
    const std::filesystem::path file = folder / "wide.mp4";
    ASSERT_EQ(std::system((kCapture + " --video '" + file.string() +
                           "' --size 1920x1080 --fps 10 --seconds 1 >/dev/null")
                              .c_str()),
              0);
    const std::string video = probe(file, "stream=width,height -select_streams v");
    EXPECT_NE(video.find("width=1920"), std::string::npos) << video;
    EXPECT_NE(video.find("height=1080"), std::string::npos) << video;

    ASSERT_EQ(std::system((kCapture + " --size 1280x720 --frames 5 --out '" + folder.string() +
                           "' >/dev/null")
                              .c_str()),
              0);
    EXPECT_EQ(pngSize(folder / "frame-5.00.png"), (std::array<std::uint32_t, 2>{1280, 720}));
    EXPECT_NE(std::system((kCapture + " --video x.mp4 --size 641x480 2>/dev/null").c_str()), 0)
        << "odd sides cannot be encoded";
}

TEST_F(VideoTest, UnwritableOutputFailsWithOneLine) {
    const std::string output =
        outputOf(kCapture +
                 " --video /nonexistent-folder/x.mp4 --seconds 1 2>&1 >/dev/null; echo status=$?");
    EXPECT_NE(output.find("glint-capture: "), std::string::npos) << output;
    EXPECT_EQ(output.find("status=0"), std::string::npos) << output;
}

}  // namespace
