#include "saver/host/AboutBox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "saver/host/ScreenSaverLibrary.h"
#include "saver/resources/ProgramResources.h"

namespace {

// Escape and the close box both stand for cancel, the only way out of the box.
bool showOnDesktop(const std::string& text) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return false;
    const SDL_MessageBoxButtonData close{
        SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT,
        static_cast<int>(saverlib::idCancel), "Close"};
    const SDL_MessageBoxData box{SDL_MESSAGEBOX_INFORMATION,
                                 nullptr,
                                 resources::aboutCaption,
                                 text.c_str(),
                                 1,
                                 &close,
                                 nullptr};
    int pressed = 0;
    return SDL_ShowMessageBox(&box, &pressed) == 0;
}

}  // namespace

int showAboutBox() {
    const auto& instance = saverlib::programInstance();
    if (!RegisterDialogClasses(instance)) return 1;
    saverlib::Dialog dialog;
    ScreenSaverConfigureDialog(dialog, saverlib::wmInitDialog, 0, 0);
    std::string text = std::string(resources::aboutFirstLine) + "\n" + resources::aboutSecondLine;
    while (!dialog.hasEnded()) {
        if (!showOnDesktop(text)) {
            std::printf("%s\n%s\n", resources::aboutCaption, text.c_str());
        }
        ScreenSaverConfigureDialog(dialog, saverlib::wmCommand, saverlib::idCancel, 0);
    }
    return 0;
}
