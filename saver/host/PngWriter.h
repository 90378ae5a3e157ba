#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace platform {
class Window;
}

// Writes 8-bit RGB pictures (rows top to bottom, 3 bytes a pixel) as PNG files.
class PngWriter {
  public:
    // False when the file cannot be written or the pixels do not fill width × height.
    static bool write(const std::string& path, int32_t width, int32_t height,
                      std::span<const uint8_t> rgb);
    // Pixels as 0x00RRGGBB words, rows top to bottom.
    static bool writePixels(const std::string& path, int32_t width, int32_t height,
                            std::span<const uint32_t> pixels);
    // The window's client area as it shows now.
    static bool writeWindow(const std::string& path, const platform::Window& window);
};
