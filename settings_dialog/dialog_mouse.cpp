// Hit testing on the layout and the choices' mouse-down events.
#include "settings_dialog/dialog_mouse.h"

#include "settings_dialog/dialog_layout.h"
#include "settings_dialog/settings_form.h"

#include <optional>

namespace velmora::dialog {

namespace L = layout;

Hit hitTest(int x, int y)
{
    const auto inGroup = [&](const auto& choices, Hit::Target target) -> std::optional<Hit> {
        for (std::size_t i = 0; i < choices.size(); ++i) {
            if (choices[i].face.contains(x, y))
                return Hit{target, int(i), false};
            if (choices[i].label.contains(x, y))
                return Hit{target, int(i), true};
        }
        return std::nullopt;
    };
    if (auto hit = inGroup(L::RdmSeq, Hit::Order))
        return *hit;
    if (auto hit = inGroup(L::Size, Hit::Size))
        return *hit;
    if (auto hit = inGroup(L::Kbn, Hit::FilterMode))
        return *hit;
    if (auto hit = inGroup(L::Bgm, Hit::Music))
        return *hit;
    if (auto hit = inGroup(L::Kind, Hit::PictureKind))
        return *hit;
    for (std::size_t i = 0; i < L::Button.size(); ++i) {
        if (L::Button[i].contains(x, y))
            return Hit{Hit::PushButton, int(i), true};
    }
    return {};
}

bool pressChoice(SettingsForm& form, const Hit& hit)
{
    switch (hit.target) {
    case Hit::Order:
        hit.onLabel ? form.lbl_Rdm_Seq_MouseDown(hit.index) : form.Img_SR_MouseDown(hit.index);
        return true;
    case Hit::Size:
        hit.onLabel ? form.lbl_Size_MouseDown(hit.index) : form.Img_Size_MouseDown(hit.index);
        return true;
    case Hit::FilterMode:
        hit.onLabel ? form.lbl_Kbn_MouseDown(hit.index) : form.Img_Kbn_MouseDown(hit.index);
        return true;
    case Hit::Music:
        hit.onLabel ? form.lbl_BGM_MouseDown(hit.index) : form.Img_BGM_MouseDown(hit.index);
        return true;
    case Hit::PictureKind:
        hit.onLabel ? form.lbl_Kind_MouseDown(hit.index) : form.Img_Kind_MouseDown(hit.index);
        return true;
    case Hit::PushButton:
    case Hit::Nothing:
        break;
    }
    return false;
}

} // namespace velmora::dialog
