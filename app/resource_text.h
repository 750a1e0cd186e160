// The program's texts: strings of the per-language resource library, loaded
// as every user-visible text is, at most 100 characters.
#pragma once

#include <string>

#include "app/app_state.h"
#include "platform/shell/resource.h"

// The text of string `id`; empty when the library or the id is unknown.
inline std::string ResourceText(os::UINT id)
{
    std::string text;
    os::LoadStringW(g_hResourceLibrary, id, &text, 100);
    return text;
}
