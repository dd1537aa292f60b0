#include "player/effects.h"

#include <algorithm>

#include "player/tick.h"

namespace vorn3 {
namespace {

constexpr std::uint8_t kEffectVolumeSlide = 10;
constexpr std::uint8_t kEffectSetVolume = 12;
constexpr std::uint8_t kEffectSpeed = 15;
constexpr std::uint8_t kLastSpeed = 31;  // larger parameters of the speed effect are BPM
constexpr std::int32_t kPeriodUnitsPerSpeed = 4;

// Volume-column command ranges: the high nibble names the command.
constexpr std::uint8_t kColumnSetVolumeFirst = 0x10;
constexpr std::uint8_t kColumnSetVolumeLast = 0x50;
constexpr std::uint8_t kColumnSlideDown = 0x6;
constexpr std::uint8_t kColumnSlideUp = 0x7;

void setVolume(Channel& channel, std::int32_t volume) {
    channel.volume = std::clamp(volume, 0, kMaxVolume);
    channel.updateFlags |= kUpdateVolume;
}

void volumeSlide(Channel& channel) {
    const std::uint8_t memory = channel.volumeSlideMemory;
    if (memory >= 16) {
        setVolume(channel, channel.volume + (memory >> 4));
    } else {
        setVolume(channel, channel.volume - (memory & 15));
    }
}

void tonePortamentoStep(Channel& channel) {
    const std::int32_t step = channel.portamentoSpeed * kPeriodUnitsPerSpeed;
    if (channel.period < channel.portamentoTarget) {
        channel.period = std::min(channel.period + step, channel.portamentoTarget);
    } else if (channel.period > channel.portamentoTarget) {
        channel.period = std::max(channel.period - step, channel.portamentoTarget);
    }
    channel.updateFlags |= kUpdateFrequency;
}

// The note of the row is the target; the playing one goes on.
void aimPortamento(Channel& channel) {
    channel.portamentoTarget = channel.notePeriod;
    channel.updateFlags &= ~(kUpdateFrequency | kUpdateTrigger);
}

void columnSlide(Channel& channel, std::uint8_t command) {
    const std::int32_t amount = command & 15;
    if ((command >> 4) == kColumnSlideDown) setVolume(channel, channel.volume - amount);
    if ((command >> 4) == kColumnSlideUp) setVolume(channel, channel.volume + amount);
}

}  // namespace

void volumeColumnRow(CellTick& cell) {
    const std::uint8_t command = cell.cell.volume;
    if (command >= kColumnSetVolumeFirst && command <= kColumnSetVolumeLast) {
        setVolume(cell.channel, command - kColumnSetVolumeFirst);
    }
    columnSlide(cell.channel, command);
}

void volumeColumnTick(CellTick& cell) {
    columnSlide(cell.channel, cell.cell.volume);
}

void effectRow(CellTick& cell, RowTick&) {
    Channel& channel = cell.channel;
    const std::uint8_t parameter = cell.cell.parameter;
    switch (cell.cell.effect) {
        case kEffectTonePortamento:
            if (parameter != 0) channel.portamentoSpeed = parameter;
            aimPortamento(channel);
            break;
        case kEffectTonePortamentoSlide:
            if (parameter != 0) channel.volumeSlideMemory = parameter;
            aimPortamento(channel);
            break;
        case kEffectVolumeSlide:
            if (parameter != 0) channel.volumeSlideMemory = parameter;
            break;
        case kEffectSetVolume:
            setVolume(channel, parameter);
            break;
        case kEffectSpeed:
            if (parameter <= kLastSpeed) {
                cell.song.speed = parameter;
            } else {
                setBpm(&cell.song, parameter);
            }
            break;
        default:
            break;
    }
}

void effectTick(CellTick& cell) {
    Channel& channel = cell.channel;
    switch (cell.cell.effect) {
        case kEffectTonePortamento:
            channel.periodDelta = 0;
            tonePortamentoStep(channel);
            break;
        case kEffectTonePortamentoSlide:
            channel.periodDelta = 0;
            tonePortamentoStep(channel);
            volumeSlide(channel);
            break;
        case kEffectVolumeSlide:
            volumeSlide(channel);
            break;
        default:
            break;
    }
}

}  // namespace vorn3
