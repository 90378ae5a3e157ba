#pragma once
#include <cstdint>

class FrameDecoder;
namespace platform {
class SdlWindow;
}

// Whether the open picture file has page `page` (0-based); says so on standard error if not.
bool hasPage(const FrameDecoder& decoder, int32_t page);

// Shows the pages of an open picture file in `window`, starting at page `page`, until the
// window is closed or Escape is pressed; Left and Page Up turn to the page before, Right and
// Page Down to the one after. The window takes each page's size. Returns the exit status.
int viewPictures(FrameDecoder& decoder, platform::SdlWindow& window, int32_t page);
