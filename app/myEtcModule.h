// Profile (INI) values of the settings. Strings are UTF-8; the
// INI file holds them in code page 932.
#pragma once

#include <string>

void writeProfileString(const std::string& fileName, const std::string& section, const std::string& key,
                        const std::string& value);
void writeProfileBool(const std::string& fileName, const std::string& section, const std::string& key, bool value);
std::string readProfileString(const std::string& fileName, const std::string& section, const std::string& key);
bool readProfileBool(const std::string& fileName, const std::string& section, const std::string& key);
