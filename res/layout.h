// The language-independent part of every resource library: dialog templates,
// menus, the accelerator table and the icon. They name their texts by string
// id, so each language source only supplies the string table.
#pragma once

#include <cstdint>

#include "res/resource_table.h"

namespace kestrava::res {

extern const DialogTemplate kDialogs[];
extern const std::uint32_t kDialogCount;
extern const MenuResource kMenus[];
extern const std::uint32_t kMenuCount;
extern const AcceleratorTable kAccelerators[];
extern const std::uint32_t kAcceleratorCount;
extern const IconResource kIcons[];
extern const std::uint32_t kIconCount;

// The table of a library whose string table is `strings`.
inline ResourceTable MakeResourceTable(const char* language, const StringEntry* strings,
                                       std::uint32_t stringCount)
{
    return ResourceTable{kResourceTableMagic, kResourceTableVersion, language, strings, stringCount,
                         kDialogs, kDialogCount, kMenus, kMenuCount, kAccelerators, kAcceleratorCount,
                         kIcons, kIconCount};
}

}  // namespace kestrava::res
