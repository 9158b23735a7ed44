// Settings in an ini file: "[section]" lines, then "key=value" lines.
//
// Reading
// - Section and key names match without regard to letter case (ASCII);
//   blanks (spaces, tabs) around a name are not part of it. The first
//   matching section and, in it, the first matching key count.
// - A value is the text after the first "=" of its line (so it may hold
//   "=" itself), without leading and trailing blanks; a value enclosed in a
//   pair of matching double or single quotes loses them.
// - Lines whose first non-blank character is ";" or "#" are comments; lines
//   without "=" inside a section and keys before the first section are not
//   settings. Lines may end in LF or CR LF; a UTF-8 byte order mark at the
//   start of the file is skipped.
// - A missing file, section or key gives the default.
//
// Integers are unsigned decimal numbers: a present value gives the number
// formed by its leading decimal digits (after the leading blanks, so
// "  12" gives 12); a value without leading digits gives 0 ("abc", "-5",
// "+5", an empty value). A number too large for unsigned gives the largest
// unsigned value.
//
// Writing a key creates the file, the section (appended at the end) and the
// key (after the section's last key) as needed, and replaces only the value
// of an existing key, keeping the text before its "=". Every other byte of
// the file stays as it was. Lines the tool writes end in CR LF. The new
// content is written to a temporary file beside the settings file and then
// put in its place.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

unsigned GetProfileInt(const std::filesystem::path& path, const std::string& section,
                       const std::string& key, unsigned defaultValue);

std::string GetProfileString(const std::filesystem::path& path, const std::string& section,
                             const std::string& key, const std::string& defaultValue);

// False when the file cannot be read or written, or when the names or value
// cannot be stored so that they read back: an empty name, a line break
// anywhere, "]" in the section name, "=" in the key, a key starting with
// "[", ";" or "#", or blanks around a name.
bool WriteProfileString(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, const std::string& value);

}  // namespace platform
