// The record behind a host's tune: a module with a player of its own.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "player/song.h"
#include "vorn3/vorn3_c.h"

namespace vorn3 {

// A part of the order list that playback from an earlier part never reaches.
struct SubsongPlace {
    std::int32_t firstOrder;
    std::int64_t passFrames;  // of one pass
};

// The module's texts as a host reads them: trimmed, without control bytes.
struct TuneTexts {
    std::string title;
    std::string tracker;
    std::string format;
    std::string message;
    std::vector<std::string> instruments;
    std::vector<std::string> samples;
};

// What a host reads of playback from any thread, taken after every call that moves it.
struct PublishedState {
    vorn3_state position;
    std::array<vorn3_channel_state, kMaxChannels> channels;
};

}  // namespace vorn3

struct vorn3_tune {
    vorn3::Player* player;
    vorn3::Song* song;
    std::int32_t rate;  // Hz
    std::array<vorn3::SubsongPlace, vorn3::kMaxOrders> subsongs;
    std::int32_t subsongCount;               // 1..kMaxOrders once loaded
    std::int32_t subsong;                    // the one playing
    std::vector<std::uint8_t> subsongOfRow;  // for the song's subsongOfRow
    std::int64_t framesDone;                 // rendered or skipped since the start
    vorn3::TuneTexts texts;
    // A host has asked for channel levels: from the next render on, the mixer measures
    // them, which costs renders that nobody draws about a seventh of their time.
    mutable std::atomic<bool> levelsWanted;
    mutable std::mutex stateLock;
    vorn3::PublishedState state;  // under stateLock
};
