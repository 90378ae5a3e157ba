#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// Zero-filled byte blocks whose allocation failure is an ordinary result (null), so that the
// engine can report "Out of memory" instead of throwing. Tests can make allocations fail.
class Memory {
  public:
    static std::unique_ptr<uint8_t[]> allocate(std::size_t bytes);

    // Frees what allocatePicture gave, by the alignment it was given with.
    struct PictureFree {
        std::size_t alignment = 0;
        void operator()(uint8_t* block) const;
    };
    using Picture = std::unique_ptr<uint8_t[], PictureFree>;
    // As allocate, for the pixels of a whole picture, which are written all at once when it is
    // first drawn: a block of half a huge page or more takes whole huge pages, offered to the
    // system as such.
    static Picture allocatePicture(std::size_t bytes);

    // Test double: the next `skip` allocations succeed, the one after fails; -1 turns it off.
    static void failAfter(int skip);
};

}  // namespace platform
