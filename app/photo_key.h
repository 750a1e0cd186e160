// The driver's photo: the camera key, on a screen over the live picture
// (the recording screens and the camera screen), takes a still named as the
// recordings are ("HHMMSS_YYYYMMDD.jpg") in the run's "Photo" folder.
#pragma once

#include "platform/base/types.h"

// Whether the camera key takes a photo in this screen mode.
bool PhotoKeyMode(int mode);

// Makes the "Photo" folder and a name in it and starts the capture. 1 when
// the still was triggered; 0 (traced) when the folder cannot be made, a
// capture is in progress or the camera refuses the still.
int TakeDriverPhoto(os::HWND hwnd);
