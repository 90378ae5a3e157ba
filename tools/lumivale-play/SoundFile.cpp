#include "tools/lumivale-play/SoundFile.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "engine/base/LittleEndian.h"

std::unique_ptr<mAudioWAV> openSoundFile(const std::string& path) {
    auto sound = std::make_unique<mAudioWAV>();
    // The file part reports why it cannot be opened.
    if (!sound->mFile::open(path.c_str(), 0)) return nullptr;
    if (!sound->open(0)) {
        std::fprintf(stderr, "lumivale-play: %s: no \"fmt \" or \"data\" chunk in a WAVE form\n",
                     path.c_str());
        return nullptr;
    }
    return sound;
}

std::string formatProblem(const platform::WaveFormat& format) {
    if (format.formatTag != platform::waveFormatPcm)
        return "format tag " + std::to_string(format.formatTag) + " is not PCM (1)";
    if (format.channels != 1 && format.channels != 2)
        return std::to_string(format.channels) + " channels: only mono and stereo play";
    if (format.samplesPerSec == 0) return "a rate of 0 samples per second";
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16)
        return std::to_string(format.bitsPerSample) + " bits per sample: only 8 and 16 play";
    return {};
}

bool writeWaveFile(const std::string& path, const platform::WaveFormat& format,
                   const std::vector<uint8_t>& data) {
    uint8_t header[44];
    auto size = static_cast<uint32_t>(data.size());
    std::copy_n("RIFF", 4, header);
    littleEndian::store32(header + 4, 36 + size + (size & 1));
    std::copy_n("WAVEfmt ", 8, header + 8);
    littleEndian::store32(header + 16, 16);
    littleEndian::store16(header + 20, format.formatTag);
    littleEndian::store16(header + 22, format.channels);
    littleEndian::store32(header + 24, format.samplesPerSec);
    littleEndian::store32(header + 28, format.avgBytesPerSec);
    littleEndian::store16(header + 32, format.blockAlign);
    littleEndian::store16(header + 34, format.bitsPerSample);
    std::copy_n("data", 4, header + 36);
    littleEndian::store32(header + 40, size);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(size));
    if (size & 1) out.put(0);
    return static_cast<bool>(out);
}
