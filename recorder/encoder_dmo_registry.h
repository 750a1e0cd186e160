// The registration of the MPEG-4 encoder DMO under HKEY_CLASSES_ROOT: its
// class key with the in-process server beside the program, the video
// encoder category entry and the media object key with its input and output
// types. The recording path encodes with the hardware encoder; the DMO is
// registered for the media framework and never put in the graph.
#pragma once

// The class key, the server subkey, the category entry and the media object
// key, in the order they are deleted.
constexpr const char* kDmoServerKey = "\\CLSID\\{ef20ddfa-0d19-463a-ab46-e5d8ef6efd60}\\InprocServer32";
constexpr const char* kDmoClassKey = "\\CLSID\\{ef20ddfa-0d19-463a-ab46-e5d8ef6efd60}";
constexpr const char* kDmoCategoryKey =
    "\\DirectShow\\MediaObjects\\Categories\\33d9a760-90c8-11d0-bd43-00a0c911ce86\\ef20ddfa-0d19-463a-ab46-e5d8ef6efd60";
constexpr const char* kDmoObjectKey = "\\DirectShow\\MediaObjects\\ef20ddfa-0d19-463a-ab46-e5d8ef6efd60";

// 1 when every key and value was written; 0 (traced) at the first failure.
int RegisterEncoderDmo();
// Deletes the four keys; 1 when each is gone (a missing key counts as gone).
int UnregisterEncoderDmo();
