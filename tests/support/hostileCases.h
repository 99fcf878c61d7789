// Damaged and hostile PDFs, each with the outcome it must have: a clean
// failure of that file with its message, or the conversion an earlier choice
// promises. Shared by the tests and by the memory check script's generator.
#pragma once

#include <string>
#include <vector>

struct HostileCase {
    std::string name;
    std::string pdf;
    bool converts;          // p2tMain's result
    std::string log;        // what p2tMain appends to the processing log
    std::string textSuffix; // the text file must end with this (when it converts)
    bool extended = false;  // converted in extended reading mode
};

// The cases of the default mode, then those of extended reading.
std::vector<HostileCase> hostileCases();

// A zlib stream of n zero bytes, made without holding them.
std::string deflatedZeros(size_t n);
