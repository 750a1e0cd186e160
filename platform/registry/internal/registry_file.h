// For the registry's own files: the registry file on the host (its format is
// described in registry_sim.h).
#pragma once

#include <cstddef>
#include <string>

#include "platform/registry/registry_sim.h"
#include "platform/registry/internal/registry_tree.h"

namespace os::detail {

enum class RegFileLoad { Loaded, Missing, Malformed, Unreadable };

// Reads `file` into *tree (left empty unless Loaded). For Malformed and
// Unreadable, *error names the file and, when malformed, the line.
RegFileLoad LoadRegistryFile(const std::string& file, RegTree* tree, std::string* error);
// The parse of LoadRegistryFile on text already read, kept apart so that the
// format can be checked without files: Loaded or Malformed, and `file` only
// names the text in *error.
RegFileLoad ParseRegistryText(const std::string& text, const std::string& file, RegTree* tree, std::string* error);

std::string FormatRegistry(const RegTree& tree);

std::string TemporaryFileOf(const std::string& file);

// Replaces `file` by `text` so that a crash leaves the old or the new file.
// `crash` stops the write early, as a power loss would (see registry_sim.h).
// Returns ERROR_SUCCESS, or ERROR_WRITE_FAULT / ERROR_DISK_FULL with *error set.
LONG WriteFileAtomically(const std::string& file, const std::string& text, sim::RegistryCrashPoint crash,
                         std::size_t crashBytes, std::string* error);

}  // namespace os::detail
