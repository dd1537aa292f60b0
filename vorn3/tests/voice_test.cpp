#include <gtest/gtest.h>

#include "mixer/mixer.h"
#include "mixer/voice.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

class VoiceTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        ASSERT_TRUE(openAudio(44100));
        sample_.length = 100;
        sample_.loopStart = 20;
        sample_.loopLength = 50;
    }
    Voice& voice(std::int32_t index) { return *voiceAt(defaultMixer(), index); }

    Sample sample_{};
};

TEST(ListTest, InsertBeforeAndUnlink) {
    ListLink head;
    ListLink a;
    ListLink b;
    ListLink c;
    listInit(head);
    listInsertBefore(a, head);
    listInsertBefore(c, head);
    listInsertBefore(b, c);
    EXPECT_EQ(head.next, &a);
    EXPECT_EQ(a.next, &b);
    EXPECT_EQ(b.next, &c);
    EXPECT_EQ(c.next, &head);
    EXPECT_EQ(head.prev, &c);
    EXPECT_EQ(c.prev, &b);
    EXPECT_EQ(b.prev, &a);
    listUnlink(b);
    EXPECT_EQ(a.next, &c);
    EXPECT_EQ(c.prev, &a);
    EXPECT_EQ(b.next, &b);
    EXPECT_EQ(b.prev, &b);
    listUnlink(a);
    listUnlink(c);
    EXPECT_EQ(head.next, &head);
    EXPECT_EQ(head.prev, &head);
}

TEST_F(VoiceTest, FrequencyBecomesA32Point32StepWithinItsClamp) {
    Voice& v = voice(3);
    const std::pair<std::int32_t, std::uint64_t> cases[] = {
        {8363, 0x308C1011},
        {22050, 0x80000000},
        {44100, std::uint64_t{1} << 32},
        {705600, std::uint64_t{16} << 32},
        {705601, std::uint64_t{16} << 32},
        {99, (std::uint64_t{100} << 32) / 44100},
        {-5, (std::uint64_t{100} << 32) / 44100},
    };
    for (auto [hz, step] : cases) {
        EXPECT_TRUE(setVoiceFrequency(defaultMixer(), v, hz));
        EXPECT_EQ(v.frequency, hz);
        EXPECT_EQ(v.step, step) << hz;
    }
}

TEST_F(VoiceTest, VolumeAndPanningGiveLinearSideVolumes) {
    Voice& v = voice(0);
    EXPECT_TRUE(setVoiceVolume(v, 127));  // panning never set: all on the left
    EXPECT_EQ(v.leftVolume, 127);
    EXPECT_EQ(v.rightVolume, 0);
    EXPECT_TRUE(setVoicePanning(v, 128));
    EXPECT_EQ(v.leftVolume, 63);
    EXPECT_EQ(v.rightVolume, 63);
    setVoicePanning(v, 255);
    EXPECT_EQ(v.leftVolume, 0);
    EXPECT_EQ(v.rightVolume, 127);
    setVoiceVolume(v, 64);
    setVoicePanning(v, 300);  // wraps in 8 bits: -11 and 75
    EXPECT_EQ(v.panning, 300);
    EXPECT_EQ(v.leftVolume, 245);
    EXPECT_EQ(v.rightVolume, 75);
    setVoiceVolume(v, 255);
    setVoicePanning(v, 0);
    EXPECT_EQ(v.leftVolume, 255);
    setVoiceVolume(v, 0x7FFFFFFF);  // no overflow, only the low 8 bits
    EXPECT_EQ(v.leftVolume, 0xFF);
}

TEST_F(VoiceTest, TriggerStartsAtTheOffsetOnceAndKeepsTheRest) {
    Voice& v = voice(7);
    setVoiceFrequency(defaultMixer(), v, 22050);
    v.currentLeft = 90;
    v.currentRight = 12;
    v.rampFramesLeft = 40;
    v.direction = kBackward;
    v.position = 0x123456789;
    v.startOffset = 69;
    EXPECT_EQ(triggerVoice(defaultMixer(), 7, &sample_), 7);
    EXPECT_EQ(v.sample, &sample_);
    EXPECT_EQ(v.position, std::uint64_t{69} << 32);
    EXPECT_EQ(v.startOffset, 0u);
    EXPECT_EQ(v.direction, kForward);
    EXPECT_EQ(v.currentLeft, 90);
    EXPECT_EQ(v.currentRight, 12);
    EXPECT_EQ(v.rampFramesLeft, 40);
    EXPECT_EQ(v.step, 0x80000000u);

    EXPECT_EQ(triggerVoice(defaultMixer(), 7, &sample_), 7);  // the offset was used up
    EXPECT_EQ(v.position, 0u);

    v.startOffset = 70;  // the loop end
    triggerVoice(defaultMixer(), 7, &sample_);
    EXPECT_EQ(v.position, 0u);
    v.startOffset = 0xFFFFFFFF;
    triggerVoice(defaultMixer(), 7, &sample_);
    EXPECT_EQ(v.position, 0u);
}

TEST_F(VoiceTest, TriggerWithoutASampleOrAVoiceChangesNothing) {
    Voice& v = voice(2);
    v.startOffset = 5;
    v.position = 99;
    EXPECT_EQ(triggerVoice(defaultMixer(), 2, nullptr), -1);
    EXPECT_EQ(v.position, 99u);
    EXPECT_EQ(v.startOffset, 5u);
    EXPECT_EQ(v.sample, nullptr);
    EXPECT_EQ(triggerVoice(defaultMixer(), kVoiceCount, &sample_), -1);
    EXPECT_EQ(triggerVoice(defaultMixer(), -1, &sample_), -1);
    closeAudio();
    EXPECT_EQ(triggerVoice(defaultMixer(), 0, &sample_), -1);
    EXPECT_TRUE(stopVoice(defaultMixer(), 0));
}

TEST_F(VoiceTest, StopClearsSampleAndPositionOnly) {
    Voice& v = voice(255);
    setVoiceVolume(v, 100);
    setVoicePanning(v, 128);
    triggerVoice(defaultMixer(), 255, &sample_);
    v.position = 0xABCDEF12345;
    v.currentLeft = 33;
    v.rampFramesLeft = 9;
    EXPECT_TRUE(stopVoice(defaultMixer(), 255));
    EXPECT_EQ(v.sample, nullptr);
    EXPECT_EQ(v.position, 0u);
    EXPECT_EQ(v.volume, 100);
    EXPECT_EQ(v.leftVolume, 49);
    EXPECT_EQ(v.currentLeft, 33);
    EXPECT_EQ(v.rampFramesLeft, 9);
}

}  // namespace
}  // namespace vorn3
