// The screens and buttons module and the skin's imaging factory. CMD_Init
// lays out the toolbar and loads the main screen from the skin; CMD_Deinit
// releases it.
#pragma once

#include "platform/base/types.h"

int CMD_Init(os::HWND hwnd);
int CMD_Deinit(os::HWND hwnd);
// The imaging factory the skin loads its images with; null when none.
void* CreateImagingFactory();
void ReleaseImagingFactory(void* factory);
