// For the registry's own files: the registry file on the host (its format is
// described in registry_sim.h).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/registry/registry_sim.h"
#include "platform/registry/internal/registry_tree.h"

namespace os::detail {

enum class RegFileLoad { Loaded, Missing, Malformed, Unreadable };

// Reads `file` into *tree. A Malformed file leaves in *tree every value that
// could still be read; Missing and Unreadable leave it empty. For Malformed
// and Unreadable, *error names the file and the host's reason or the line of
// the first fault, and which lines were left out. With `heldFd`, a file that
// was read stays open there (-1 otherwise; the caller closes it).
RegFileLoad LoadRegistryFile(const std::string& file, RegTree* tree, std::string* error, int* heldFd = nullptr);
// The parse of LoadRegistryFile on text already read, kept apart so that the
// format can be checked without files: Loaded or Malformed, and `file` only
// names the text in *error.
RegFileLoad ParseRegistryText(const std::string& text, const std::string& file, RegTree* tree, std::string* error);
// The line-by-line reading of a text that does not parse as a whole: each
// line holding a key or a value by the file's rules adds it to *tree (a
// trailing comma or a missing one does not matter; the first reading of a
// value listed twice is kept). Returns the 1-based lines left out; the
// values of a key whose own line is left out go with it.
std::vector<std::size_t> SalvageRegistryText(const std::string& text, RegTree* tree);

std::string FormatRegistry(const RegTree& tree);

std::string TemporaryFileOf(const std::string& file);

// Replaces `file` by `text` so that a crash leaves the old or the new file.
// `crash` stops the write early, as a power loss would (see registry_sim.h).
// Returns ERROR_SUCCESS, or ERROR_WRITE_FAULT / ERROR_DISK_FULL with *error set.
LONG WriteFileAtomically(const std::string& file, const std::string& text, sim::RegistryCrashPoint crash,
                         std::size_t crashBytes, std::string* error);

}  // namespace os::detail
