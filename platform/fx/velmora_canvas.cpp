// velmora-canvas: the settings window's canvas as the core draws it for a settings file, and
// a mask of where a view's screen must show exactly that (white) or shows its own texts and
// controls (black). The end-to-end tests hold both views' screens against it.
//   velmora-canvas SKIN_FOLDER SETTINGS_FILE CANVAS.bmp MASK.bmp
#include "platform/fx/picture_files.h"
#include "settings_dialog/dialog_canvas.h"
#include "settings_dialog/headless_dialog.h"
#include "settings_dialog/settings_form.h"
#include "show/drawing.h"

#ifdef _WIN32
#include "platform/win32/startup_win32.h"
#else
#include "platform/linux/startup_linux.h"
#endif

#include <cstdio>
#include <exception>
#include <string>

namespace {

using namespace velmora;

#ifdef _WIN32
using PlatformFiles = win32::Win32FileSystem;
using PlatformCodec = win32::Cp932Codec;
#else
using PlatformFiles = posix::PosixFileSystem;
using PlatformCodec = posix::IconvCodec;
#endif

// Texts are drawn with each system's font, so their boxes and a margin for the font's
// overhang and smoothing are left out of the comparison, as are the native controls.
constexpr int Margin = 3;

int run(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: velmora-canvas SKIN_FOLDER SETTINGS_FILE CANVAS.bmp MASK.bmp\n");
        return 2;
    }
    dialog::DialogSkin skin;
    for (std::size_t i = 0; i < skin.size(); ++i) {
        Result<LoadedPicture> loaded = fx::readPicture(std::string(argv[1]) + "/" + std::string(dialog::SkinFile[i]));
        if (!loaded.ok()) {
            std::fprintf(stderr, "velmora-canvas: %s: %s\n", dialog::SkinFile[i].data(),
                         loaded.reason().text.c_str());
            return 1;
        }
        skin[i] = std::move(loaded->picture);
    }
    PlatformFiles files;
    PlatformCodec codec;
    Settings settings;
    Catalogue catalogue;
    const SettingsLocation location{{}, {}, argv[2]};
    (void)LoadSettings(location, files, codec, settings, catalogue);
    dialog::HeadlessDialog window;
    dialog::SettingsForm form(settings, catalogue, window, dialog::SettingsStore{location, files, codec});
    form.Form_Load();

    Picture canvas;
    dialog::paintCanvas(canvas, form, skin);
    Picture mask(canvas.width(), canvas.height());
    show::fillBox(mask, 0, 0, mask.width(), mask.height(), 0xFFFFFF);
    const auto leaveOut = [&](const dialog::layout::Rect& r) {
        show::fillBox(mask, r.x - Margin, r.y - Margin, r.x + r.w + Margin, r.y + r.h + Margin);
    };
    for (const auto& area : dialog::nativeControlAreas())
        leaveOut(area);
    for (const auto& text : dialog::canvasTexts(form))
        leaveOut(text.box);
    for (const auto& [path, picture] : {std::pair{argv[3], &canvas}, std::pair{argv[4], &mask}}) {
        if (const Result<void> written = fx::writePicture(path, *picture, fx::OutputKind::Bmp); !written.ok()) {
            std::fprintf(stderr, "velmora-canvas: %s\n", written.reason().text.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-canvas: %s\n", e.what());
        return 1;
    }
}
