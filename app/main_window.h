// The main window: its creation with the application state (a second launch
// only activates the first instance), its creation handler, the deferred
// initialisation and the destroy sequences, and its window procedure.
#pragma once

#include "platform/windows/window.h"

// Loads the resource library of the stored language, or else of the default
// language, into g_hResourceLibrary; 0 when neither loads, leaving the one
// loaded before in place.
int LoadResourceLibrary();
int CreateMainWindow(os::HINSTANCE resources, int showCommand);
os::LRESULT MainWindowProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam);
int OnCreateProc(os::HWND hwnd, const os::CREATESTRUCTW* cs);
int OnInitProc(os::HWND hwnd);
// The orderly destroy sequence, or with `powerLoss` its power-loss variant.
int OnDestroyProc(os::HWND hwnd, bool powerLoss = false);
