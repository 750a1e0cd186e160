// The program's main function: the runtime entry calls it with the program's
// instance, its command line and the show command, and the process exits
// with what it returns.
#pragma once

#include "platform/base/types.h"

int WinMain(os::HINSTANCE instance, const char* commandLine, int showCommand);
