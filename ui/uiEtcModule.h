// Path helpers ("/" separates folders, "." the extension) and the folder test.
// They look at the text only, except isFolder.
#pragma once

#include <string>

std::string getFileName(const std::string& path);   // last "/"-separated piece
std::string getFolderName(const std::string& path); // everything before the last "/"
std::string getBaseName(const std::string& path);   // file name without its last extension
bool isFolder(const std::string& path);             // an existing folder; any error gives false

// The folder browser, opening at startFolder with it selected; the chosen
// folder, or an empty string when cancelled. (Desktop program only.)
std::string browseForFolder(const std::string& startFolder);
