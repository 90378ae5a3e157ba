#include "tests/support/FfmpegDecode.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

namespace testing_support {

namespace {

std::string shellQuoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// Runs a shell command and collects its standard output.
std::optional<std::string> run(const std::string& command) {
    struct Closer {
        void operator()(std::FILE* f) const { pclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> pipe(popen(command.c_str(), "r"));
    if (!pipe) return std::nullopt;
    std::string out;
    std::array<char, 1 << 16> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
        out.append(buffer.data(), n);
    int status = pclose(pipe.release());
    if (status != 0) return std::nullopt;
    return out;
}

// A file for the decoder's error stream, removed when done with.
class ErrorFile {
  public:
    ErrorFile() {
        std::random_device random;
        path = std::filesystem::temp_directory_path() /
               ("ffmpeg-messages-" + std::to_string(random()) + std::to_string(random()));
    }
    ~ErrorFile() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    ErrorFile(const ErrorFile&) = delete;
    ErrorFile& operator=(const ErrorFile&) = delete;

    std::string redirect() const { return " 2>" + shellQuoted(path.string()); }
    std::string text() const {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

  private:
    std::filesystem::path path;
};

}  // namespace

bool ffmpegAvailable() {
    static const bool available = std::system("ffmpeg -version >/dev/null 2>&1") == 0 &&
                                  std::system("ffprobe -version >/dev/null 2>&1") == 0;
    return available;
}

std::optional<DecodedVideo> ffmpegDecode(const std::filesystem::path& file,
                                         std::string_view inputFormat, std::string* failure) {
    auto fail = [&](std::string why) -> std::optional<DecodedVideo> {
        if (failure) *failure = std::move(why);
        return std::nullopt;
    };
    std::string format = inputFormat.empty() ? "" : " -f " + shellQuoted(inputFormat);
    std::string input = shellQuoted(file.string());

    ErrorFile probeErrors;
    auto size = run("ffprobe -v error" + format +
                    " -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " + input +
                    probeErrors.redirect());
    DecodedVideo video;
    if (!size || std::sscanf(size->c_str(), "%d,%d", &video.width, &video.height) != 2 ||
        video.width <= 0 || video.height <= 0)
        return fail("ffprobe found no picture size: " + probeErrors.text());

    ErrorFile decodeErrors;
    auto raw = run("ffmpeg -nostdin -v error" + format + " -i " + input +
                   " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -" + decodeErrors.redirect());
    video.messages = decodeErrors.text();
    if (!raw) return fail("ffmpeg failed: " + video.messages);
    std::size_t frameBytes = static_cast<std::size_t>(video.width) * video.height * 3;
    if (raw->size() % frameBytes != 0)
        return fail("ffmpeg gave " + std::to_string(raw->size()) + " bytes, not whole frames of " +
                    std::to_string(frameBytes));
    for (std::size_t at = 0; at < raw->size(); at += frameBytes)
        video.frames.emplace_back(raw->begin() + static_cast<std::ptrdiff_t>(at),
                                  raw->begin() + static_cast<std::ptrdiff_t>(at + frameBytes));
    return video;
}

std::optional<std::vector<std::uint8_t>> ffmpegDecodeAudio(const std::filesystem::path& file,
                                                           std::string_view sampleFormat,
                                                           std::string* failure) {
    ErrorFile errors;
    std::string format = shellQuoted(sampleFormat);
    auto raw = run("ffmpeg -nostdin -v error -i " + shellQuoted(file.string()) + " -map 0:a:0 -f " +
                   format + " -acodec pcm_" + format + " -" + errors.redirect());
    if (!raw) {
        if (failure) *failure = "ffmpeg failed: " + errors.text();
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(raw->begin(), raw->end());
}

bool magickAvailable() {
    static const bool available = std::system("convert -version >/dev/null 2>&1") == 0 &&
                                  std::system("identify -version >/dev/null 2>&1") == 0;
    return available;
}

std::optional<DecodedVideo> magickDecodePage(const std::filesystem::path& file, int page) {
    std::string input = shellQuoted(file.string() + "[" + std::to_string(page) + "]");
    ErrorFile errors;
    auto size = run("identify -format '%w %h' " + input + errors.redirect());
    DecodedVideo picture;
    if (!size || std::sscanf(size->c_str(), "%d %d", &picture.width, &picture.height) != 2 ||
        picture.width <= 0 || picture.height <= 0)
        return std::nullopt;
    auto raw = run("convert " + input + " -depth 8 rgb:-" + errors.redirect());
    picture.messages = errors.text();
    if (!raw || raw->size() != static_cast<std::size_t>(picture.width) * picture.height * 3)
        return std::nullopt;
    picture.frames.emplace_back(raw->begin(), raw->end());
    return picture;
}

}  // namespace testing_support
