// The folder browser of the desktop program; the path helpers it once sat
// beside are in platform/paths.h.
#pragma once

#include <string>

// The folder browser, opening at startFolder with it selected; the chosen
// folder, or an empty string when cancelled.
std::string browseForFolder(const std::string& startFolder);
