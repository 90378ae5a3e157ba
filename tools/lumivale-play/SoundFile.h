#pragma once
#include <memory>
#include <string>

#include "engine/media/mAudioWAV.h"

// A sound file opened for the player's commands: null, after saying why on standard error,
// when the file cannot be read as a sound.
std::unique_ptr<mAudioWAV> openSoundFile(const std::string& path);

// Why no device plays this format, or empty when the format is one a device takes.
std::string formatProblem(const platform::WaveFormat& format);

// Writes a PCM WAVE file of the format and data; false when it cannot be written.
bool writeWaveFile(const std::string& path, const platform::WaveFormat& format,
                   const std::vector<uint8_t>& data);
