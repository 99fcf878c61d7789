// Path helpers ("/" separates folders, "." the extension) and the tests for
// an existing file or folder. The string functions look at the text only.
#pragma once

#include <string>

std::string getFileName(const std::string& path);   // last "/"-separated piece
std::string getFolderName(const std::string& path); // everything before the last "/"
std::string getBaseName(const std::string& path);   // file name without its last extension
bool isFolder(const std::string& path);             // an existing folder; any error gives false
// A path typed relative to the working folder made full (the text file is
// made beside the PDF from its folder, which a bare file name lacks).
std::string absolutePath(const std::string& path);

// True for an existing file that is not a folder and not hidden (its name
// does not begin with ".").
bool fileExists(const std::string& path);
