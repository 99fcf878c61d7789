#include "engine/p2tEtcModule.h"

#include <cstdio>

#include "platform/paths.h"

std::string p2tMakeDataFileName(const std::string& folder, std::time_t now)
{
    std::tm local{};
    localtime_r(&now, &local);
    char base[64];
    std::snprintf(base, sizeof base, "data-%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string name;
    for (int n = 0; n <= 999; ++n) {
        char counter[8];
        std::snprintf(counter, sizeof counter, "-%03d", n);
        name = folder + "/" + base + counter + ".dat";
        if (!fileExists(name))
            break;
    }
    return name;
}
