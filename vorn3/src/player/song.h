// The Song record: the playback state of a loaded module, which it refers to and never
// writes; a client of its player's mixer while it plays.
#pragma once

#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <type_traits>

#include "formats/formats.h"
#include "formats/stream.h"
#include "mixer/mixer.h"
#include "module/module.h"
#include "player/channel.h"
#include "vorn3/player.h"

namespace vorn3 {

using SongHook = void (*)(Song& song);

inline constexpr std::int32_t kFullSeparation = 100;  // percent

inline constexpr std::int32_t kRowBitsPerWord = 64;
inline constexpr std::int32_t kRowCount = kMaxOrders * kMaxPatternRows;  // of every order
inline constexpr std::uint8_t kNoSubsong = 255;

struct Song {
    MixClient client;  // first: the mixer's client list holds the song by it
    Player* player;    // that created it
    const Module* module;
    Channel* channels;  // module->channelCount records while started, else null
    // Every sample's finetune as the module has it, until an effect changes one.
    std::int8_t* finetunes;
    std::int32_t globalVolume;  // 0..64
    std::uint8_t globalVolumeSlideMemory;
    // Playback has passed the last order at least once; read by the host's thread.
    std::atomic<bool> ended;
    std::int32_t tick;   // within the row, 0 = row tick
    std::int32_t speed;  // ticks per row
    std::int32_t bpm;    // beats per minute
    // Read by the host's thread without a lock while the mixing side advances them.
    std::atomic<std::int32_t> currentRow;
    std::atomic<std::int32_t> currentOrder;
    std::int32_t patternDelayTicks;  // extra ticks of the current row
    std::int32_t patternDelayRows;   // of the current row
    std::int32_t nextRow;            // -1: none pending
    std::int32_t nextOrder;          // -1: none pending
    // Where the chosen subsong starts, and where playback goes on after its last order.
    std::int32_t firstOrder;
    std::int32_t restartOrder;
    // The subsong each row belongs to, a byte per order and row (kNoSubsong for none),
    // and the one playing: a pass ends on a row of an earlier subsong, and the next starts
    // at firstOrder. Null: rows belong to no subsong.
    const std::uint8_t* subsongOfRow;
    std::int32_t subsong;
    SongHook tickHook;  // once per tick, on the mixing side
    // Rows played in the current pass, a bit per order and row: a pass ends where
    // playback comes to a row it has already played.
    std::array<std::uint64_t, kRowCount / kRowBitsPerWord> playedRows;
    std::int32_t passLimit;  // passes before the song finishes; 0: it never does
    std::int32_t passesDone;
    std::atomic<bool> finished;  // its last pass ended: it ticks no more; read by the host
    std::int32_t seekOrder;      // with seekRow, a row the song stops before; -1: none
    std::int32_t seekRow;
    std::array<bool, kMaxChannels> mutedChannels;
    // Notes their channels let go of, oldest first, each on a voice of its own.
    std::array<LetGoNote, kVoiceCount> letGoNotes;
    std::int32_t letGoCount;
    std::int32_t stereoSeparation;  // percent of every panning's distance from the centre
    // IT's global volume has twice the engine's steps: this is the half step, 0 or 1.
    std::int32_t globalVolumeHalfStep;
    // A global volume slide moved it this tick: every channel's voice takes it on the next.
    bool globalVolumeSlid;
    std::uint32_t randomState;  // of the random waveforms; the same at each start
};
static_assert(std::is_standard_layout_v<Song>, "listRecord needs the client first");
static_assert(std::atomic<std::int32_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// The finetune notes of the sample play at: the module's until an effect changes it.
std::int32_t sampleFinetune(const Song& song, const Sample& sample);
// Changes it for the rest of the song; nothing for a stand-in sample.
void setSampleFinetune(Song& song, const Sample& sample, std::int8_t finetune);

// Forgets that rows first..last of the order were played in this pass: a pattern loop
// plays them again within it.
void forgetRows(Song& song, std::int32_t order, std::int32_t first, std::int32_t last);
// Whether a row of the order was played in this pass (the last, once the song finished).
bool orderPlayed(const Song& song, std::int32_t order);
// Gives the rows this pass played (the last, once the song finished) that belong to no
// subsong yet to `subsong`.
void claimPlayedRows(const Song& song, std::uint8_t* subsongOfRow, std::uint8_t subsong);
// setBpm for the mixing side and its callers, which hold passLock.
void applyBpm(Song& song, std::int32_t bpm);

// Reads a song of the player from the stream; null when it holds no module this library
// can play or memory runs out.
Song* songLoad(Player& player, SongStream* stream, SampleDataHook sampleDataHook,
               LoadReport* report = nullptr);
// A new song of the player over a loaded module, which it holds a reference to; null
// when memory runs out.
Song* songOfModule(Player& player, const Module& module);

// Puts the song at its start with fresh channels, as songStart does, without touching
// voices or the mixer's clients; false when memory runs out.
bool startPlayback(Song& song);

}  // namespace vorn3
