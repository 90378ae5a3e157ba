#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace testing_support {

// A file in the temporary folder, removed when the object goes.
class TempFile {
  public:
    explicit TempFile(std::span<const uint8_t> bytes, const std::string& suffix = ".bin");
    explicit TempFile(const std::string& text, const std::string& suffix = ".txt");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const char* path() const { return name.c_str(); }

  private:
    std::string name;
};

// A path in the temporary folder that nothing uses yet.
std::string uniqueTempPath(const std::string& suffix);

// Appends little-endian values and four-character codes, for building test files.
class ByteWriter {
  public:
    ByteWriter& u8(uint8_t v);
    ByteWriter& u16(uint16_t v);
    ByteWriter& u32(uint32_t v);
    ByteWriter& tag(const char (&code)[5]);
    ByteWriter& bytes(std::span<const uint8_t> data);
    ByteWriter& text(const std::string& s);
    void putU32(std::size_t at, uint32_t v);
    std::size_t size() const { return data.size(); }

    std::vector<uint8_t> data;
};

}  // namespace testing_support
