// Reading strings, dialog templates and menus out of a loaded resource library.
#include <cstring>
#include <utility>

#include "platform/shell/resource.h"
#include "platform/shell/internal/resource_library.h"

namespace os {
namespace {

// The first `maxChars` code points of a UTF-8 text; *count gets how many were kept.
std::string CutToCharacters(const char* text, int maxChars, int* count)
{
    const std::size_t length = std::strlen(text);
    std::size_t end = 0;
    int kept = 0;
    while (end < length) {
        std::size_t next = end + 1;
        while (next < length && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80)
            ++next;
        if (kept == maxChars)
            break;
        ++kept;
        end = next;
    }
    *count = kept;
    return std::string(text, end);
}

std::string TextOf(const detail::LoadedResources& resources, std::uint32_t id)
{
    const char* text = id == 0 ? nullptr : resources.Text(id);
    return text != nullptr ? text : "";
}

MenuItemInfo CopyMenuItem(const detail::LoadedResources& resources, const kestrava::res::MenuItem& item)
{
    MenuItemInfo info;
    info.commandId = item.commandId;
    info.text = TextOf(resources, item.textId);
    for (std::uint32_t i = 0; i < item.popupCount; ++i)
        info.popup.push_back(CopyMenuItem(resources, item.popup[i]));
    return info;
}

}  // namespace

int LoadStringW(HINSTANCE library, UINT id, std::string* out, int maxChars)
{
    if (out == nullptr || maxChars <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    out->clear();
    int count = 0;
    bool found = false;
    const bool loaded = detail::WithResources(library, [&](const detail::LoadedResources& resources) {
        const char* text = resources.Text(id);
        if (text == nullptr)
            return;
        found = true;
        *out = CutToCharacters(text, maxChars, &count);
    });
    if (loaded && !found)
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return count;
}

BOOL LoadDialogTemplate(HINSTANCE library, UINT id, DialogTemplateInfo* out)
{
    if (out == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto dialogs = [](const kestrava::res::ResourceTable& t) { return std::pair(t.dialogs, t.dialogCount); };
    const bool found = detail::WithResourceEntry(
        library, id, dialogs, [&](const detail::LoadedResources& resources, const kestrava::res::DialogTemplate& dialog) {
            DialogTemplateInfo info;
            info.id = dialog.id;
            info.caption = TextOf(resources, dialog.captionId);
            info.width = dialog.width;
            info.height = dialog.height;
            for (std::uint32_t c = 0; c < dialog.controlCount; ++c) {
                const auto& control = dialog.controls[c];
                DialogControlInfo copy;
                copy.id = control.id;
                copy.kind = control.kind;
                copy.text = TextOf(resources, control.textId);
                copy.rect = RECT{control.x, control.y, control.x + control.width, control.y + control.height};
                info.controls.push_back(std::move(copy));
            }
            *out = std::move(info);
        });
    return found ? TRUE : FALSE;
}

BOOL LoadMenuResource(HINSTANCE library, UINT id, MenuInfo* out)
{
    if (out == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto menus = [](const kestrava::res::ResourceTable& t) { return std::pair(t.menus, t.menuCount); };
    const bool found = detail::WithResourceEntry(
        library, id, menus, [&](const detail::LoadedResources& resources, const kestrava::res::MenuResource& menu) {
            MenuInfo info;
            info.id = menu.id;
            for (std::uint32_t m = 0; m < menu.itemCount; ++m)
                info.items.push_back(CopyMenuItem(resources, menu.items[m]));
            *out = std::move(info);
        });
    return found ? TRUE : FALSE;
}

}  // namespace os
