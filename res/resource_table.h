// The binary contract between a per-language resource library and the
// platform loader (platform/shell/resource_load.cpp). Each library is a shared object
// that exports one C function, KestravaResourceTable, returning a table of
// plain constant records. Everything a library holds is reached through it:
// strings by id, dialog templates, menus, accelerator tables and icons.
//
// Texts are UTF-8. Dialogs and menus carry string ids, not texts, so that one
// layout serves every language: the loader resolves them against the same
// library's string table. A change of any record below is a change of
// kResourceTableVersion; the loader refuses a library of another version.
#pragma once

#include <cstdint>

namespace kestrava::res {

constexpr std::uint32_t kResourceTableMagic = 0x4B524553;  // "KRES"
constexpr std::uint32_t kResourceTableVersion = 1;
// The symbol each library exports (extern "C").
constexpr const char* kResourceTableSymbol = "KestravaResourceTable";

struct StringEntry {
    std::uint32_t id;
    const char* text;
};

// What a dialog control is; the dialog module turns each kind into its window class.
enum class ControlKind : std::uint32_t {
    Label = 1,     // static text
    Button = 2,    // push button; pressing it sends WM_COMMAND with its id
    CheckBox = 3,  // automatic check box
    ComboBox = 4,  // drop-down list
    Text = 5,      // static text filled at run time (no string id)
};

constexpr std::uint32_t kNoControlId = 0xFFFF;  // labels that nothing addresses

struct DialogControl {
    std::uint32_t id;      // kNoControlId for plain labels
    ControlKind kind;
    std::uint32_t textId;  // 0: no text
    std::int32_t x, y, width, height;  // pixels, relative to the dialog
};

struct DialogTemplate {
    std::uint32_t id;
    std::uint32_t captionId;
    std::int32_t width, height;
    const DialogControl* controls;
    std::uint32_t controlCount;
};

// A menu item is a command (commandId != 0) or a pop-up holding items.
struct MenuItem {
    std::uint32_t commandId;
    std::uint32_t textId;
    const MenuItem* popup;
    std::uint32_t popupCount;
};

struct MenuResource {
    std::uint32_t id;
    const MenuItem* items;
    std::uint32_t itemCount;
};

// Accelerator flags, as the phone OS numbers them.
constexpr std::uint8_t kAccelVirtKey = 0x01;
constexpr std::uint8_t kAccelShift = 0x04;
constexpr std::uint8_t kAccelControl = 0x08;
constexpr std::uint8_t kAccelAlt = 0x10;

struct AcceleratorEntry {
    std::uint8_t flags;
    std::uint16_t key;  // virtual key with kAccelVirtKey, else a character code
    std::uint16_t commandId;
};

struct AcceleratorTable {
    std::uint32_t id;
    const AcceleratorEntry* entries;
    std::uint32_t entryCount;
};

// 32-bit pixels 0xAARRGGBB, rows top-down.
struct IconResource {
    std::uint32_t id;
    std::uint32_t width, height;
    const std::uint32_t* pixels;
};

struct ResourceTable {
    std::uint32_t magic;
    std::uint32_t version;
    const char* language;
    const StringEntry* strings;
    std::uint32_t stringCount;
    const DialogTemplate* dialogs;
    std::uint32_t dialogCount;
    const MenuResource* menus;
    std::uint32_t menuCount;
    const AcceleratorTable* accelerators;
    std::uint32_t acceleratorCount;
    const IconResource* icons;
    std::uint32_t iconCount;
};

using ResourceTableFunction = const ResourceTable* (*)();

}  // namespace kestrava::res

// Defined once in each library.
extern "C" __attribute__((visibility("default"))) const kestrava::res::ResourceTable* KestravaResourceTable();
