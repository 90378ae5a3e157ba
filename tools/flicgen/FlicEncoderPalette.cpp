#include "tools/flicgen/ByteSink.h"
#include "tools/flicgen/FlicEncoder.h"

namespace flicgen::encoder {

std::vector<std::uint8_t> palette(const std::array<Rgb, 256>& entries,
                                  const std::array<bool, 256>& changed) {
    ByteSink out;
    out.u16(0);
    std::uint16_t packets = 0;
    std::size_t next = 0;
    std::size_t e = 0;
    while (e < entries.size()) {
        if (!changed[e]) {
            ++e;
            continue;
        }
        std::size_t begin = e;
        while (e < entries.size() && changed[e])
            ++e;
        // Skip from the end of the last packet, then a count where 0 stands for 256.
        out.u8(static_cast<std::uint8_t>(begin - next));
        out.u8(static_cast<std::uint8_t>(e - begin));
        for (std::size_t i = begin; i < e; ++i) {
            out.u8(entries[i].r);
            out.u8(entries[i].g);
            out.u8(entries[i].b);
        }
        next = e;
        ++packets;
    }
    out.patchU16(0, packets);
    return out.take();
}

}  // namespace flicgen::encoder
