// Small engine helpers.
#pragma once

#include <ctime>
#include <string>

// A path in folder for a temporary data file that does not exist yet:
// "data-yyyymmdd-hhmmss-NNN.dat", the first free counter from 000 to 999
// (the last name built when all exist).
std::string p2tMakeDataFileName(const std::string& folder, std::time_t now);
