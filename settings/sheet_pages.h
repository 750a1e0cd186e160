// Inside the settings sheet: what its pages share. Every page runs on the
// main window's thread, in the sheet's modal loop; the values below are
// touched only there.
#pragma once

#include <string>

#include "platform/base/types.h"
#include "platform/windows/dialog.h"

struct EventRecorderApp;

// The page menu bar's "Defaults" command.
constexpr os::UINT kDefaultsCommand = 40004;

// Per page: set at the end of WM_INITDIALOG; a page writes nothing back
// unless it is set. The menu bar is the page's own.
struct SheetPageState {
    int initialised = 0;
    os::HWND menuBar = nullptr;
};

struct SheetContext {
    os::HINSTANCE resources = nullptr;
    os::HWND mainWindow = nullptr;
    SheetPageState storage;
    SheetPageState recording;
    SheetPageState event;
    SheetPageState about;
};

// The sheet being run; its fields are valid while RunSettingsSheet runs.
SheetContext& Sheet();
EventRecorderApp* SheetApp();

// A string of the resource library the sheet was opened with, at most 100 characters.
std::string SheetText(os::UINT id);
// A message box of string `id`, captioned "Ardvane", owned by the foreground window.
int SheetMessage(os::UINT id, os::UINT type);

// The common start of a page: its menu bar from menu 110 and the full-screen
// initialisation with a done button and the input panel down.
void InitSheetPage(os::HWND page, SheetPageState* state);
// Command 40007 of the menu bar: IDOK to the sheet. True when it was that command.
bool HandleDoneCommand(os::HWND page, os::WPARAM wParam);
void DestroyPageMenuBar(SheetPageState* state);

// Lists: add an entry, select, read the selection's text.
void AddListEntry(os::HWND page, int id, const std::string& text);
void SelectListEntry(os::HWND page, int id, int index);
int ListSelection(os::HWND page, int id);
std::string ListSelectionText(os::HWND page, int id);
bool IsChecked(os::HWND page, int id);
void SetChecked(os::HWND page, int id, bool checked);
void EnableControl(os::HWND page, int id, bool enable);
void HideControl(os::HWND page, int id);

os::INT_PTR StoragePageProc(os::HWND page, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam);
os::INT_PTR RecordingPageProc(os::HWND page, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam);
os::INT_PTR EventPageProc(os::HWND page, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam);
os::INT_PTR AboutPageProc(os::HWND page, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam);
