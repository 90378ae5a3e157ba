// Decoding time of the picture readers on 640x480 pictures, one iteration one picture drawn
// whole into an 8-bit bitmap of its size: 8-bit PCX and BMP (drawn straight into the
// destination) and 24-bit PCX and BMP (converted through the 12-bit table, which is built for
// every picture). Beside each, ffmpeg decodes the same file many times over in the same run
// (ffmpeg -benchmark -stream_loop N -i FILE -f null -). Counters: us, the reader's processor
// time per picture; ffmpeg_us, ffmpeg's (user and system time over its N + 1 decodes); ratio,
// ffmpeg's over the reader's (above 1: the reader is faster).
// The pictures: flicgen's "gradient" pattern, whose rows change along their length, so that
// the run-length data holds both runs and literal bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageBMP.h"
#include "engine/media/mImagePCX.h"
#include "tools/flicgen/Patterns.h"

namespace {

constexpr int width = 640;
constexpr int height = 480;
constexpr int ffmpegLoops = 300;

void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

// Run-length encodes one line of a PCX picture.
void encodeLine(std::vector<uint8_t>& out, const uint8_t* line, int count) {
    for (int at = 0; at < count;) {
        int run = 1;
        while (at + run < count && run < 63 && line[at + run] == line[at])
            ++run;
        if (run > 1 || line[at] >= 0xc0) out.push_back(static_cast<uint8_t>(0xc0 | run));
        out.push_back(line[at]);
        at += run;
    }
}

std::vector<uint8_t> pcxFile(const flicgen::PatternFrame& frame, bool deep) {
    std::vector<uint8_t> out(128, 0);
    out[0] = 10;
    out[1] = 5;
    out[2] = 1;
    out[3] = 8;
    out[8] = (width - 1) & 0xff;
    out[9] = (width - 1) >> 8;
    out[10] = (height - 1) & 0xff;
    out[11] = (height - 1) >> 8;
    out[65] = deep ? 3 : 1;
    out[66] = width & 0xff;
    out[67] = width >> 8;
    std::vector<uint8_t> plane(width);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = frame.pixels.data() + y * width;
        if (!deep) {
            encodeLine(out, row, width);
            continue;
        }
        for (int component = 0; component < 3; ++component) {
            for (int x = 0; x < width; ++x) {
                const flicgen::Rgb& c = frame.palette[row[x]];
                plane[static_cast<std::size_t>(x)] = component == 0   ? c.r
                                                     : component == 1 ? c.g
                                                                      : c.b;
            }
            encodeLine(out, plane.data(), width);
        }
    }
    if (!deep) {
        out.push_back(12);
        for (const flicgen::Rgb& c : frame.palette)
            out.insert(out.end(), {c.r, c.g, c.b});
    }
    return out;
}

std::vector<uint8_t> bmpFile(const flicgen::PatternFrame& frame, bool deep) {
    const int bits = deep ? 24 : 8;
    const int rowBytes = (width * bits / 8 + 3) / 4 * 4;
    const uint32_t offset = 14 + 40 + (deep ? 0 : 1024);
    std::vector<uint8_t> out;
    put16(out, 0x4D42);
    put32(out, offset + static_cast<uint32_t>(rowBytes * height));
    put32(out, 0);
    put32(out, offset);
    for (uint32_t field : {40u, uint32_t{width}, uint32_t{height}})
        put32(out, field);
    put16(out, 1);
    put16(out, static_cast<uint32_t>(bits));
    for (int k = 0; k < 6; ++k)
        put32(out, 0);
    if (!deep) {
        for (const flicgen::Rgb& c : frame.palette)
            out.insert(out.end(), {c.b, c.g, c.r, 0});
    }
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = frame.pixels.data() + y * width;
        for (int x = 0; x < width; ++x) {
            if (!deep) {
                out.push_back(row[x]);
                continue;
            }
            const flicgen::Rgb& c = frame.palette[row[x]];
            out.insert(out.end(), {c.b, c.g, c.r});
        }
        out.resize(out.size() + static_cast<std::size_t>(rowBytes - width * bits / 8), 0);
    }
    return out;
}

// The picture of that kind, written once into the temporary folder.
std::filesystem::path picture(const std::string& name) {
    static std::map<std::string, std::filesystem::path> written;
    auto known = written.find(name);
    if (known != written.end()) return known->second;
    flicgen::PatternFrame frame;
    flicgen::findPattern("gradient")->render(width, height, 3, 30, frame);
    const bool deep = name.find("24") != std::string::npos;
    auto bytes = name.ends_with(".pcx") ? pcxFile(frame, deep) : bmpFile(frame, deep);
    auto dir = std::filesystem::temp_directory_path() / "lumivale-bench-pictures";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return written.emplace(name, dir / name).first->second;
}

// ffmpeg's processor time for one picture of the file, in microseconds; 0 when ffmpeg cannot
// be run.
double ffmpegMicroseconds(const std::filesystem::path& path) {
    std::string command = "ffmpeg -nostdin -hide_banner -benchmark -stream_loop " +
                          std::to_string(ffmpegLoops) + " -i '" + path.string() +
                          "' -f null - 2>&1";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return 0;
    char line[512];
    double seconds = 0;
    while (std::fgets(line, sizeof line, pipe.get())) {
        double user = 0, system = 0, real = 0;
        if (std::sscanf(line, "bench: utime=%lfs stime=%lfs rtime=%lfs", &user, &system, &real) ==
            3)
            seconds = real;
    }
    return seconds * 1e6 / (ffmpegLoops + 1);
}

template <class Reader>
void decodePictures(benchmark::State& state, const std::string& name) {
    auto path = picture(name);
    Reader reader;
    if (reader.open(path.c_str(), 0) != 1 || reader.openImage() != 1) {
        state.SkipWithError("cannot open the picture");
        return;
    }
    mBitmap target(reader.frameWidth, reader.frameHeight, 8);
    reader.attachBitmap(&target);
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        if (reader.readFrame(0, 0, nullptr) != 0) {
            state.SkipWithError("decoding failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    const double ours =
        static_cast<double>(std::clock() - start) * 1e6 / CLOCKS_PER_SEC /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    reader.attachBitmap(nullptr);
    reader.close();
    state.SetItemsProcessed(state.iterations());
    state.counters["pixels"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * width * height, benchmark::Counter::kIsRate);
    const double ffmpeg = ffmpegMicroseconds(path);
    state.counters["us"] = ours;
    state.counters["ffmpeg_us"] = ffmpeg;
    state.counters["ratio"] = ours > 0 ? ffmpeg / ours : 0;
}

void BM_PcxDecode(benchmark::State& state, std::string name) {
    decodePictures<mImagePCX>(state, name);
}

void BM_BmpDecode(benchmark::State& state, std::string name) {
    decodePictures<mImageBMP>(state, name);
}

BENCHMARK_CAPTURE(BM_PcxDecode, direct8, std::string("gradient8.pcx"));
BENCHMARK_CAPTURE(BM_BmpDecode, direct8, std::string("gradient8.bmp"));
BENCHMARK_CAPTURE(BM_PcxDecode, converted24, std::string("gradient24.pcx"));
BENCHMARK_CAPTURE(BM_BmpDecode, converted24, std::string("gradient24.bmp"));

}  // namespace
