// The simulated phone's side of the registry: where it is kept on the host.
//
// A device root holds the registry in one JSON file, "registry.json", an
// object of full key paths to objects of typed values:
//
//   {
//     "HKEY_CURRENT_USER\\Software\\Holmbrek\\Ardvane": {
//       "AudioBitrate": {"dword": 128},
//       "SelectDisk": {"sz": "Storage Card"},
//       "Call Start Time": {"binary": "00ff10a0c0d0e0f0"}
//     }
//   }
//
// ("none" holds REG_NONE data as hex, like "binary"). A key is listed when it
// has values or no subkeys; the keys above a listed key exist implicitly.
// Every change rewrites the file atomically (a temporary file beside it,
// flushed, renamed over the old one, the folder flushed), so a crash leaves
// either the old or the new file. Processes sharing a device root take turns
// through an flock on "registry.json.lock" beside it, and each call first
// reads the file again if another process replaced it, so no process's
// change is lost to another's.
#pragma once

#include <cstddef>
#include <string>

namespace os::sim {

enum class RegistryOpenResult {
    Loaded,     // the file was read, or there was none: the registry is open
    Recovered,  // the file was malformed: kept aside; the registry opened with
                // every value that could still be read, written back at once
    Failed,     // the device root cannot be used: no registry is open
};

// Opens the registry of a device root, closing any open one first. For
// Recovered and Failed, *error says why, naming the file and the host's
// reason (for a malformed file the line of the first fault and the lines
// left out); a malformed file, an empty one included, is renamed to
// "registry.json.malformed" (or ".malformed.N" if that name is taken), never
// overwritten. A file changed by hand into a malformed one while the
// registry is open is handled the same way at the next call.
RegistryOpenResult OpenRegistry(const std::string& deviceRoot, std::string* error);
// Closes the registry; every key handle and notification becomes invalid.
void CloseRegistry();

// Until the registry is closed, refuse every change with ERROR_ACCESS_DENIED,
// as a write-protected store would (for testing callers' failure paths).
void SetRegistryReadOnly(bool readOnly);

// Test hook: the next rewrite of the file stops as if the device lost power,
// after `bytes` bytes of the temporary file (DuringWrite) or with the whole
// temporary file written but not yet renamed (BeforeRename). The change is
// refused with ERROR_WRITE_FAULT and the temporary file is left behind, as a
// crash would leave it; the next OpenRegistry removes it.
enum class RegistryCrashPoint { None, DuringWrite, BeforeRename };
void SetRegistryCrashPoint(RegistryCrashPoint point, std::size_t bytes = 0);

}  // namespace os::sim
