// The settings window's canvas: one whole paint (stripe, panels, faces, fields and a
// thumbnail) and the list of its texts, which each view redraws on every expose.
#include "settings_dialog/dialog_canvas.h"
#include "settings_dialog/headless_dialog.h"
#include "settings_dialog/settings_form.h"

#include <benchmark/benchmark.h>


using namespace velmora;

namespace {

class NoFiles final : public FileSystem {
public:
    char separator() const override { return '/'; }
    std::vector<FoundFile> findFiles(const std::string&) override { return {}; }
    bool canOpenForReading(const std::string&) override { return false; }
    bool fileExists(const std::string&) override { return false; }
    FileRead readFile(const std::string&, std::size_t) override { return {ReadStatus::Missing, {}}; }
    Result<void, WriteProblem> replaceFile(const std::string&, std::string_view) override { return WriteProblem::Failed; }
    bool makeFolders(const std::string&) override { return false; }
};

class NoCodec final : public TextCodec {
public:
    std::optional<std::string> toCp932(std::string_view utf8) override { return std::string(utf8); }
    std::optional<std::string> fromCp932(std::string_view bytes) override { return std::string(bytes); }
};

// The skin at its real sizes (the pixels do not change the cost).
dialog::DialogSkin skinOfRealSizes()
{
    namespace L = dialog::layout;
    dialog::DialogSkin skin;
    for (auto face : {dialog::OptionOff, dialog::OptionOn})
        skin[face].resize(L::OptionFace, L::OptionFace);
    for (auto face : {dialog::CheckOff, dialog::CheckOn})
        skin[face].resize(L::CheckFace, L::CheckFace);
    for (auto face : {dialog::ButtonPressed, dialog::ButtonReleased, dialog::Header95})
        skin[face].resize(L::ButtonW, L::ButtonH);
    skin[dialog::Header109].resize(109, L::HeaderH);
    skin[dialog::Stripe].resize(L::StripeW, L::StripeH);
    return skin;
}

struct Dialog {
    Settings settings;
    Catalogue catalogue;
    dialog::HeadlessDialog window;
    NoFiles files;
    NoCodec codec;
    dialog::SettingsForm form{settings, catalogue, window, dialog::SettingsStore{{}, files, codec}};
    Dialog()
    {
        form.Form_Load();
        form.Display.resize(100, 75); // a thumbnail shown
        form.lbl_Kei = "30000";
        form.Folder_Path = "/home/someone/Pictures/holidays/2026";
    }
};

void BM_PaintCanvas(benchmark::State& state)
{
    Dialog dialog;
    const dialog::DialogSkin skin = skinOfRealSizes();
    Picture canvas;
    for (auto _ : state) {
        dialog::paintCanvas(canvas, dialog.form, skin);
        benchmark::DoNotOptimize(canvas.data());
    }
}
BENCHMARK(BM_PaintCanvas)->Unit(benchmark::kMicrosecond);

void BM_CanvasTexts(benchmark::State& state)
{
    Dialog dialog;
    for (auto _ : state)
        benchmark::DoNotOptimize(dialog::canvasTexts(dialog.form));
}
BENCHMARK(BM_CanvasTexts)->Unit(benchmark::kMicrosecond);

} // namespace
