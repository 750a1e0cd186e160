#include "app/lst.h"

int LST_Init(os::HWND) { return 1; }
int LST_DeInit(os::HWND) { return 1; }
