// The settings form without a window, for tools that only want its state drawn (the canvas
// tool, the canvas benchmark): Form_Load asks only for the pointer and the opening animation.
#pragma once

#include "settings_dialog/settings_form.h"

#include <exception>

namespace velmora::dialog {

class HeadlessDialog final : public DialogPlatform {
public:
    void pumpMessages() override {}
    void busyPointer(bool) override {}
    PictureLoader& pictureLoader() override { std::terminate(); } // no picture is ever clicked
    std::optional<ScreenPoint> cursorPosition() override { return std::nullopt; }
    void zoomOpen(ScreenPoint) override {}
    void zoomClose(ScreenPoint) override {}
    void messageBox(std::string_view) override {}
    std::optional<std::string> browseForFolder(std::string_view) override { return std::nullopt; }
    std::optional<std::string> openFile(std::string_view, std::string_view, std::string_view) override
    {
        return std::nullopt;
    }
    void endProgram() override {}
};

} // namespace velmora::dialog
