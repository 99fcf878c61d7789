// INI (profile) files, read and written one key at a time. All strings here
// are code page 932 bytes, as stored in the file.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The value of key in section, or defaultValue when the file, the section or
// the key is missing or unreadable. Section and key names match regardless of
// ASCII letter case; blanks around names and values and one pair of quotes
// around a value are dropped. The result is cut to bufferSize - 1 bytes and at
// its first NUL.
std::string getPrivateProfileString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, size_t bufferSize,
                                     const std::string& fileName);

// Sets key in section to value: creates the file and the section when they
// are missing, replaces the key's line when it exists, and leaves every other
// line byte for byte. The file is replaced in one step (a new file renamed
// over the old one), so a reader sees either the old or the new file. Returns
// false when the file could not be written; the old file is then unchanged.
bool writePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& fileName);

} // namespace platform
