#include "saver/host/AboutBox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/platform/Module.h"
#include "saver/host/ScreenSaverLibrary.h"

namespace {

// Escape and the close box both stand for cancel, the only way out of the box.
bool showOnDesktop(const std::string& caption, const std::string& text) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return false;
    const SDL_MessageBoxButtonData close{
        SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT,
        static_cast<int>(saverlib::idCancel), "Close"};
    const SDL_MessageBoxData box{
        SDL_MESSAGEBOX_INFORMATION, nullptr, caption.c_str(), text.c_str(), 1, &close, nullptr};
    int pressed = 0;
    return SDL_ShowMessageBox(&box, &pressed) == 0;
}

}  // namespace

int showAboutBox(const platform::Module& instance) {
    if (!RegisterDialogClasses(instance)) return 1;
    auto resource = instance.findResource("DIALOG", std::to_string(saverlib::configureDialog));
    if (resource.empty()) {
        std::fprintf(stderr, "the program has no about box\n");
        return 1;
    }
    std::string dialogText(resource.begin(), resource.end());
    auto lineEnd = dialogText.find('\n');
    std::string caption = dialogText.substr(0, lineEnd);
    std::string text = lineEnd == std::string::npos ? "" : dialogText.substr(lineEnd + 1);

    saverlib::Dialog dialog;
    ScreenSaverConfigureDialog(dialog, saverlib::wmInitDialog, 0, 0);
    while (!dialog.hasEnded()) {
        if (!showOnDesktop(caption, text)) std::printf("%s\n%s\n", caption.c_str(), text.c_str());
        ScreenSaverConfigureDialog(dialog, saverlib::wmCommand, saverlib::idCancel, 0);
    }
    return 0;
}
