#pragma once
#include <cstdint>
#include <memory>

#include "engine/platform/DeviceContext.h"

namespace platform {

// A context off the screen that holds one selected section: the source of copies to the
// screen, and a target that stores the nearest colours of its section's table.
class MemoryContext : public DeviceContext {
  public:
    // Null when the display refuses contexts.
    static std::unique_ptr<MemoryContext> create(const DeviceContext* reference);

    // Only create() makes memory contexts.
    class Key {
        friend class MemoryContext;
        Key() = default;
    };
    explicit MemoryContext(Key) {}

    // Returns the section selected before (null at first). The section must outlive its
    // selection.
    Section* selectSection(Section* selected);
    const Section* selectedSection() const override { return section; }
    bool isDisplay() const override { return false; }

    // Sets the selected section's colour entries from `start`; returns the count set.
    uint32_t setDIBColorTable(uint32_t start, uint32_t count, const RgbQuad* colours);

    int32_t width() const override;
    int32_t height() const override;

  protected:
    void translate(std::span<const RgbQuad, 256> colours,
                   std::array<uint32_t, 256>& values) const override;
    void writePixels(const Rect& area, std::span<const uint32_t> values) override;

  private:
    Section* section = nullptr;
};

}  // namespace platform
