#pragma once
#include <cstdint>
#include <iosfwd>

namespace platform {
class Module;
class Window;
}  // namespace platform

// What the host offers a saver program, in the roles of the platform's screen-saver library:
// the messages it sends, its default handling, the program's instance and the trace stream.
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
// The program's about box: a "DIALOG" resource of this number, its caption on the first line
// and the text on the lines after it.
constexpr uint32_t configureDialog = 2003;

class Dialog;

// Messages the program does not handle: in full screen, input closes the saver.
int64_t defScreenSaverProc(platform::Window& window, uint32_t message, uint64_t wParam,
                           int64_t lParam);
// Ends the host's message loop after the current message.
void postQuitMessage(int32_t exitCode);
void endDialog(Dialog& dialog, int64_t result);
void messageBeep(uint32_t type);
// The instance the program described itself with; null before the host started it.
const platform::Module* programInstance();
// Where the saver writes its trace when the command line asks for one; null otherwise.
std::ostream* traceStream();

}  // namespace saverlib

// The three functions a saver program supplies; it describes itself too (ProgramDescription.h).
int64_t ScreenSaverProc(platform::Window& window, uint32_t message, uint64_t wParam,
                        int64_t lParam);
int32_t ScreenSaverConfigureDialog(saverlib::Dialog& dialog, uint32_t message, uint64_t wParam,
                                   int64_t lParam);
int32_t RegisterDialogClasses(const platform::Module& instance);
