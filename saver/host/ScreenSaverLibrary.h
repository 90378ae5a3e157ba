#pragma once
#include <cstdint>

namespace platform {
class Module;
class Window;
}  // namespace platform

// What the host offers a saver program, in the roles of the platform's screen-saver library:
// the messages it sends, its default handling, and the program's instance.
namespace saverlib {

constexpr uint32_t wmCreate = 0x0001;
constexpr uint32_t wmDestroy = 0x0002;
constexpr uint32_t wmEraseBackground = 0x0014;
constexpr uint32_t wmKeyDown = 0x0100;
constexpr uint32_t wmInitDialog = 0x0110;
constexpr uint32_t wmCommand = 0x0111;
constexpr uint32_t wmMouseMove = 0x0200;
constexpr uint32_t wmButtonDown = 0x0201;
constexpr uint32_t idCancel = 2;
constexpr uint32_t beepQuestion = 0x20;

class Dialog;

// Messages the program does not handle: in full screen, input closes the saver.
int64_t defScreenSaverProc(platform::Window& window, uint32_t message, uint64_t wParam,
                           int64_t lParam);
// Ends the host's message loop after the current message.
void postQuitMessage(int32_t exitCode);
void endDialog(Dialog& dialog, int64_t result);
void messageBeep(uint32_t type);
const platform::Module& programInstance();

}  // namespace saverlib

// The three functions a saver program supplies.
int64_t ScreenSaverProc(platform::Window& window, uint32_t message, uint64_t wParam,
                        int64_t lParam);
int32_t ScreenSaverConfigureDialog(saverlib::Dialog& dialog, uint32_t message, uint64_t wParam,
                                   int64_t lParam);
int32_t RegisterDialogClasses(const platform::Module& instance);
