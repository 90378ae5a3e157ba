#include "saver/host/PngWriter.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "engine/platform/Window.h"

bool PngWriter::write(const std::string& path, int32_t width, int32_t height,
                      std::span<const uint8_t> rgb) {
    if (width <= 0 || height <= 0) return false;
    auto rowBytes = static_cast<std::size_t>(width) * 3;
    if (rgb.size() < rowBytes * static_cast<std::size_t>(height)) return false;

    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    // libpng reports failures by jumping back here; nothing with a destructor lives in between.
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        png_write_row(png, rgb.data() + rowBytes * static_cast<std::size_t>(y));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file.release()) == 0;
}

bool PngWriter::writePixels(const std::string& path, int32_t width, int32_t height,
                            std::span<const uint32_t> pixels) {
    std::vector<uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (uint32_t p : pixels) {
        rgb.push_back(static_cast<uint8_t>(p >> 16));
        rgb.push_back(static_cast<uint8_t>(p >> 8));
        rgb.push_back(static_cast<uint8_t>(p));
    }
    return write(path, width, height, rgb);
}

bool PngWriter::writeWindow(const std::string& path, const platform::Window& window) {
    auto rect = window.clientRect();
    return writePixels(path, rect.width(), rect.height(), window.surface().readPixels());
}
