// The screens and buttons module and the skin's imaging factory. CMD_Init
// lays out the toolbar; the skin (images, looks) is still to be built.
#pragma once

#include "platform/base/types.h"

int CMD_Init(os::HWND hwnd);
int CMD_Deinit(os::HWND hwnd);
// The imaging factory the skin loads its images with; null when none.
void* CreateImagingFactory();
void ReleaseImagingFactory(void* factory);
