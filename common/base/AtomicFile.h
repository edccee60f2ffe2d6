#pragma once

#include <filesystem>
#include <string_view>

namespace tarnix {

// Where ReplaceFileContents stages the new contents of a file (of a link's target): the file's
// own name with ".tmp" added, in the same folder, so that the final rename never crosses file
// systems.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& file);

// Writes the whole text to the open file, going on after interrupted and partial writes.
// False when the system refuses the rest.
bool WriteAll(int fd, std::string_view contents);

// Replaces the file's contents as one step: the text is written to the temporary file,
// flushed to disk and renamed over the file. Either the file holds the new text afterwards
// or it is exactly as before; false in the second case. A symbolic link is followed and its
// target replaced; an existing file's permission bits, owner and group carry over. A file
// that may be written in a folder that may not is overwritten in place and flushed instead.
// Never throws.
bool ReplaceFileContents(const std::filesystem::path& file, std::string_view contents);

} // namespace tarnix
