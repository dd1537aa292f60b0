// The Song record: a loaded module and its playback state; a client of its player's
// mixer while it plays.
#pragma once

#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <type_traits>

#include "formats/stream.h"
#include "mixer/mixer.h"
#include "module/module.h"
#include "player/channel.h"
#include "vorn3/vorn3.h"

namespace vorn3 {

inline constexpr std::int32_t kMaxOrders = 256;
// Bit of Song::flags: periods in 1/64 semitone instead of Amiga periods.
inline constexpr std::int16_t kLinearFrequencies = 1;

using SongHook = void (*)(Song& song);

// Hz × Amiga period (in the engine's quarter periods) of the two Amiga clocks.
inline constexpr std::int32_t kNtscClock = 14317056;
inline constexpr std::int32_t kPalClock = 14187580;

// Where the formats' players differ, as data the tick engine and the effects consult.
// A format's own periods for the notes from kTableFirstNote on (0-based), in whole
// Amiga periods at finetune 0.
inline constexpr std::int32_t kTableFirstNote = 36;
inline constexpr std::int32_t kTableNotes = 36;

struct FormatRules {
    std::int32_t amigaClock;          // Hz × Amiga period
    const std::int16_t* periodTable;  // kTableNotes periods; null: all computed
    std::int32_t minPeriod;           // slides up stop at this period
    std::int32_t maxPeriod;           // slides down stop at this period
    bool samplePanning;               // a note's instrument sets the channel's panning
    bool slideMemory;                 // a zero parameter repeats the last of a slide
    // Bit n: effect n shares one parameter memory per channel with the others set.
    std::uint64_t sharedMemoryEffects;
    // Volume slides xF and Fy slide once on the row tick (x0 and 0y on the others).
    bool fineSlideNibbles;
    bool volumeSlideOnRowTick;  // volume slides x0 and 0y also run on the row tick
    bool cutPastMinPeriod;      // a slide past the shortest period stops the note
    // Sample offset and note delay act only in rows with a note.
    bool noteCommandsNeedNote;
    bool vibratoOnRowTick;         // a vibrato moves the period on the row tick too
    bool vibratoPeriodRisesFirst;  // the pitch falls in a vibrato's first half cycle
    bool tremorTicksAsGiven;       // Ixy is on x ticks and off y, not x + 1 and y + 1
    // A tone portamento on a channel that has played no note starts the note.
    bool portamentoStartsNote;
    // An instrument given with a tone portamento becomes the channel's (its volume at
    // once, its sample at the next note or, with sampleSwap, where the loop ends).
    bool portamentoTakesInstrument;
    // A pattern delay lasts its rows at the speed its row ends with, not the speed the
    // row had when the delay was read.
    bool delayAtRowEndSpeed;
    // An instrument without a note swaps the playing sample for its own where the playing
    // one's loop (or the sample) ends.
    bool sampleSwap;
    bool glissando;  // E3x turns a channel's glissando on and off (Amiga periods only)
};

// XM's rules; the other formats' are these with their differences.
inline constexpr FormatRules kXmRules{.amigaClock = kNtscClock,
                                      .periodTable = nullptr,
                                      .minPeriod = 56,  // below it an Amiga period would reach 0
                                      .maxPeriod = INT32_MAX,
                                      .samplePanning = true,
                                      .slideMemory = true,
                                      .sharedMemoryEffects = 0,
                                      .fineSlideNibbles = false,
                                      .volumeSlideOnRowTick = false,
                                      .cutPastMinPeriod = false,
                                      .noteCommandsNeedNote = false,
                                      .vibratoOnRowTick = true,
                                      .vibratoPeriodRisesFirst = false,
                                      .tremorTicksAsGiven = false,
                                      .portamentoStartsNote = false,
                                      .portamentoTakesInstrument = false,
                                      .delayAtRowEndSpeed = false,
                                      .sampleSwap = false,
                                      .glissando = false};

inline constexpr std::int32_t kFullSeparation = 100;  // percent

inline constexpr std::int32_t kRowBitsPerWord = 64;

struct Song {
    MixClient client;  // first: the mixer's client list holds the song by it
    Player* player;    // that created it
    PatternSlot* patterns;
    Instrument* instruments;
    Channel* channels;              // channelCount records while started, else null
    std::int16_t songLength;        // orders played, 1..kMaxOrders once loaded
    std::int16_t restartPosition;   // order index, below songLength once loaded
    std::int16_t channelCount;      // 1..kVoiceCount once loaded
    std::int32_t usedPatternCount;  // 1 + highest pattern number among the played orders
    std::int32_t patternSlotCount;  // 1..256 once loaded
    std::int16_t instrumentCount;   // 0..128 once loaded
    std::int16_t flags;             // kLinearFrequencies
    std::int16_t defaultTempo;      // ticks per row
    std::int16_t defaultBpm;        // beats per minute, 32..255 once loaded
    std::array<std::uint8_t, kMaxOrders> orderTable;  // pattern number per order index
    std::uint8_t defaultGlobalVolume;                 // 0..64
    std::int32_t globalVolume;                        // 0..64
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
    SongHook startHook;
    SongHook tickHook;  // once per tick, on the mixing side
    SampleDataHook sampleDataHook;
    // Rows played in the current pass, a bit per order and row: a pass ends where
    // playback comes to a row it has already played.
    std::array<std::uint64_t, kMaxOrders * kMaxPatternRows / kRowBitsPerWord> playedRows;
    std::int32_t passLimit;  // passes before the song finishes; 0: it never does
    std::int32_t passesDone;
    std::atomic<bool> finished;  // its last pass ended: it ticks no more; read by the host
    std::int32_t seekOrder;      // with seekRow, a row the song stops before; -1: none
    std::int32_t seekRow;
    std::array<bool, kVoiceCount> mutedChannels;
    FormatRules rules;
    // Panning of each channel at the start: 0 left .. 255 right.
    std::array<std::uint8_t, kVoiceCount> channelPannings;
    std::int32_t stereoSeparation;  // percent of every panning's distance from the centre
    // Every voice's volume × this: a master volume the file sets over its tracker's default.
    double masterVolumeScale;
    std::array<char, 32> format;   // the format's name and version; ends in a zero byte
    std::array<char, 29> title;    // ends in a zero byte
    std::array<char, 29> tracker;  // that wrote the file
};
static_assert(std::is_standard_layout_v<Song>, "listRecord needs the client first");
static_assert(std::atomic<std::int32_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// Forgets that rows first..last of the order were played in this pass: a pattern loop
// plays them again within it.
void forgetRows(Song& song, std::int32_t order, std::int32_t first, std::int32_t last);

// Reads a song of the player from the stream; null when it holds no module this library
// can play or memory runs out.
Song* songLoad(Player& player, SongStream* stream, SampleDataHook sampleDataHook);

// Puts the song at its start with fresh channels, as songStart does, without touching
// voices or the mixer's clients; false when memory runs out.
bool startPlayback(Song& song);

// Makes a new record a song of the player, not yet playing; false when memory runs out.
bool registerSong(Player& player, Song& song);

}  // namespace vorn3
