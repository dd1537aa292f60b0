// Players of the host's own: each has its own callbacks, output, voices and songs.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/player_fixture.h"
#include "writers/demo_module.h"

namespace vorn3 {
namespace {

constexpr std::int32_t kRate = 44100;
constexpr std::int32_t kFrames = 6 * kRate;
constexpr std::int32_t kPieceFrames = 1000;

// `frames` frames of the named module, rendered by a player of its own.
std::vector<std::int16_t> renderAlone(const char* name, std::int32_t frames) {
    std::vector<std::int16_t> sound(2 * static_cast<std::size_t>(frames));
    Player* player = playerCreate();
    setStreamCallbacks(*player, memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell);
    EXPECT_TRUE(openAudio(*player, kRate));
    Song* song = songCreate(*player, name, nullptr);
    EXPECT_TRUE(songStart(song));
    for (std::int32_t done = 0; done < frames; done += kPieceFrames) {
        renderAudio(*player, sound.data() + 2 * done, std::min(kPieceFrames, frames - done));
    }
    playerDestroy(player);  // frees the song too
    return sound;
}

using PlayerInstanceTest = PlayerTest;

TEST_F(PlayerInstanceTest, TwoPlayersOnTwoThreadsSoundAsEachAlone) {
    xm::Module other = xm::demoModule();
    other.bpm = 97;
    other.tempo = 5;
    serveAs("demo.xm", xm::writeModule(xm::demoModule()));
    serveAs("other.xm", xm::writeModule(other));
    const std::vector<std::int16_t> demoAlone = renderAlone("demo.xm", kFrames);
    const std::vector<std::int16_t> otherAlone = renderAlone("other.xm", kFrames);
    ASSERT_NE(demoAlone, otherAlone);

    std::vector<std::int16_t> demoBeside;
    std::vector<std::int16_t> otherBeside;
    std::thread first([&] { demoBeside = renderAlone("demo.xm", kFrames); });
    std::thread second([&] { otherBeside = renderAlone("other.xm", kFrames); });
    first.join();
    second.join();
    EXPECT_TRUE(demoBeside == demoAlone);
    EXPECT_TRUE(otherBeside == otherAlone);
}

TEST_F(PlayerInstanceTest, APlayerIsApartFromTheDefaultOne) {
    serve(xm::writeModule(smallModule()));
    ASSERT_TRUE(openAudio(kRate));
    Player* player = playerCreate();
    EXPECT_EQ(songCreate(*player, "song.xm", nullptr), nullptr);  // no callbacks of its own
    EXPECT_FALSE(openAudio(*player, kRate));
    setStreamCallbacks(*player, memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell);
    Song* song = songCreate(*player, "song.xm", nullptr);
    EXPECT_FALSE(songStart(song));  // its own output is not open
    ASSERT_TRUE(openAudio(*player, kRate));
    EXPECT_TRUE(songStart(song));
    EXPECT_EQ(defaultMixer().clients.next, &defaultMixer().clients);
    playerDestroy(player);
    playerDestroy(nullptr);
}

// A song that has played its passes adds nothing more; the output ends only when every
// song playing has.
TEST_F(PlayerInstanceTest, TheOutputEndsWhenEverySongHasFinished) {
    ASSERT_TRUE(openAudio(kRate));  // four rows of 5292 frames each
    SongPtr once = load(rowsModule({noteCell(49), {}, {}, {}}, 6));
    SongPtr always = load(rowsModule({noteCell(49), {}, {}, {}}, 6));
    setPasses(once.get(), 1);
    ASSERT_TRUE(songStart(once.get()));
    ASSERT_TRUE(songStart(always.get()));
    std::vector<std::int16_t> sound(2 * 3 * 4 * 5292);
    EXPECT_EQ(renderAudio(sound.data(), 3 * 4 * 5292), 3 * 4 * 5292);
    EXPECT_TRUE(songFinished(once.get()));
    EXPECT_FALSE(songFinished(always.get()));
    songStop(always.get());
    EXPECT_LT(renderAudio(sound.data(), 5292), 5292);  // what was mixed ahead, then the end
    EXPECT_EQ(renderAudio(sound.data(), 5292), 0);
    ASSERT_TRUE(songStart(once.get()));
    EXPECT_EQ(renderAudio(sound.data(), 5292), 5292);
}

}  // namespace
}  // namespace vorn3
