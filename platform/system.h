// The few operating-system services the program needs, with the meanings the
// rest of the program relies on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Milliseconds since an arbitrary start, as a 32-bit value that wraps:
// take differences as uint32_t (modulo 2^32).
uint32_t tickCount();

// The folder of the running executable, without a trailing "/".
std::string programFolder();

// True for an existing entry that is not a folder and whose name does not
// begin with "." (a hidden file). "?" and "*" are ordinary characters.
bool findFile(const std::string& path);

// True for an existing folder (symbolic links followed); any error gives false.
bool isDirectory(const std::string& path);

// Writes all of data to the file descriptor, again after an interrupted or
// short write; false when a write fails (disk full, medium gone).
bool writeAll(int fd, std::string_view data);

// Asks for large pages behind the whole large pages lying within
// [data, data + size): memory about to be filled front to back then costs a
// fault per large page rather than per page. Only a hint: nothing changes
// when the system does not take it.
void preferLargePages(void* data, size_t size);

} // namespace platform
