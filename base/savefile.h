// Replacing a stored file safely: a temporary file beside it, every write checked, then a rename.
#pragma once

#include <cstddef>
#include <string>

// Writes the bytes to a temporary file in the target's folder and renames it over the target.
// False (the target untouched, no temporary file left) when any step fails.
bool SaveFileReplacing(const std::string& path, const void* data, size_t size);

// A temporary file's name beside path, unique per process and call (the sweep below knows it).
std::string TemporaryFileFor(const std::string& path);

// Removes the temporary files that saves cut short by a killed process left in the folder (given
// without a trailing separator) and its subfolders; only files named as SaveFileReplacing names
// them. Call it when no save can be running (at start, before any download). Returns how many went.
int RemoveLeftoverTemporaries(const std::string& folder);
