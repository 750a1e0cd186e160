// The list module: it has no work; start-up and shutdown call it in its place.
#pragma once

#include "platform/base/types.h"

int LST_Init(os::HWND hwnd);
int LST_DeInit(os::HWND hwnd);
