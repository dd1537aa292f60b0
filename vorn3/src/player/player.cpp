#include "player/player.h"

#include <cstdlib>
#include <new>

#include "mixer/output.h"
#include "player/song.h"

namespace vorn3 {
namespace {

Player& defaultInstance() {
    static Player player;
    return player;
}

// A thread still running at exit would end the process abnormally when the player
// holding it is destroyed.
void closeDefaultAtExit() {
    closeOutput(defaultInstance().mixer);
}

}  // namespace

// Registered after the player is built, the closing runs before it is destroyed.
Player& defaultPlayer() {
    Player& player = defaultInstance();
    [[maybe_unused]] static const bool closedAtExit = std::atexit(closeDefaultAtExit) == 0;
    return player;
}

void resetPlayer(Player& player) {
    resetMixer(player.mixer);
    player.callbacks = {};
    listInit(player.mixer.clients);
}

Player* playerCreate() {
    return new (std::nothrow) Player{};
}

void playerDestroy(Player* player) {
    if (!player) return;
    closeOutput(player->mixer);
    while (!player->songs.empty())
        songFree(player->songs.back());
    delete player;
}

void setStreamCallbacks(Player& player, StreamOpen open, StreamClose close, StreamRead read,
                        StreamSeek seek, StreamTell tell) {
    const bool complete = open && close && read && seek && tell;
    player.callbacks =
        complete ? StreamCallbacks{open, close, read, seek, tell} : StreamCallbacks{};
}

void setWaveDevice(Player& player, WaveDevice* device, MixingDriver driver) {
    player.mixer.nextDevice = device;
    player.mixer.nextDriver = driver;
}

bool setBufferLength(Player& player, std::int32_t milliseconds) {
    return setOutputBufferLength(player.mixer, milliseconds);
}

void setGain(Player& player, double decibels) {
    setOutputGain(player.mixer, decibels);
}

bool setInterpolation(Player& player, Interpolation mode) {
    return setOutputInterpolation(player.mixer, mode);
}

Interpolation interpolation(const Player& player) {
    return player.mixer.interpolation;
}

bool openAudio(Player& player, std::int32_t outputRate) {
    return callbacksSet(player.callbacks) && openOutput(player.mixer, outputRate);
}

void closeAudio(Player& player) {
    closeOutput(player.mixer);
}

bool pumpAudio(Player& player) {
    return pumpOutput(player.mixer);
}

std::int32_t renderAudio(Player& player, std::int16_t* destination, std::int32_t frames) {
    return renderOutput(player.mixer, destination, frames);
}

void setStreamCallbacks(StreamOpen open, StreamClose close, StreamRead read, StreamSeek seek,
                        StreamTell tell) {
    setStreamCallbacks(defaultPlayer(), open, close, read, seek, tell);
}

void setWaveDevice(WaveDevice* device, MixingDriver driver) {
    setWaveDevice(defaultPlayer(), device, driver);
}

bool setBufferLength(std::int32_t milliseconds) {
    return setBufferLength(defaultPlayer(), milliseconds);
}

void setGain(double decibels) {
    setGain(defaultPlayer(), decibels);
}

bool setInterpolation(Interpolation mode) {
    return setInterpolation(defaultPlayer(), mode);
}

bool openAudio(std::int32_t outputRate) {
    return openAudio(defaultPlayer(), outputRate);
}

void closeAudio() {
    closeAudio(defaultPlayer());
}

bool pumpAudio() {
    return pumpAudio(defaultPlayer());
}

std::int32_t renderAudio(std::int16_t* destination, std::int32_t frames) {
    return renderAudio(defaultPlayer(), destination, frames);
}

}  // namespace vorn3
