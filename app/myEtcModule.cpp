#include "app/myEtcModule.h"

#include "platform/cp932.h"
#include "platform/profile.h"

using platform::cp932ToUtf8;
using platform::utf8ToCp932;

void writeProfileString(const std::string& fileName, const std::string& section, const std::string& key,
                        const std::string& value)
{
    // A failed write goes unnoticed: the settings in memory stay as they are.
    platform::writePrivateProfileString(utf8ToCp932(section), utf8ToCp932(key), utf8ToCp932(value), fileName);
}

void writeProfileBool(const std::string& fileName, const std::string& section, const std::string& key, bool value)
{
    writeProfileString(fileName, section, key, value ? "True" : "False");
}

std::string readProfileString(const std::string& fileName, const std::string& section, const std::string& key)
{
    std::string raw = platform::getPrivateProfileString(utf8ToCp932(section), utf8ToCp932(key), "", 256, fileName);
    // A value cut in the middle of a double-byte character loses that half.
    std::string text = cp932ToUtf8(raw);
    if (!raw.empty() && text.size() >= 1 && text.back() == '?') {
        size_t i = 0;
        bool dangling = false;
        while (i < raw.size()) {
            auto b = static_cast<unsigned char>(raw[i]);
            bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
            if (lead && i + 1 == raw.size()) {
                dangling = true;
                break;
            }
            i += lead ? 2 : 1;
        }
        if (dangling)
            text.pop_back();
    }
    return text;
}

bool readProfileBool(const std::string& fileName, const std::string& section, const std::string& key)
{
    return readProfileString(fileName, section, key) == "True";
}
