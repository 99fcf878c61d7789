#include "platform/places.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/system.h"
#include "installLayout.inc" // generated: SCRIVLET_DATA_FROM_BIN

namespace platform {

const char* const kDataFromProgramFolder = SCRIVLET_DATA_FROM_BIN;

bool isInstalledProgramFolder(const std::string& programFolder)
{
    return isDirectory(programFolder + "/" + kDataFromProgramFolder);
}

std::string dataFolder(const std::string& programFolder)
{
    return isInstalledProgramFolder(programFolder) ? programFolder + "/" + kDataFromProgramFolder : programFolder;
}

std::string settingsFolder(const std::string& programFolder, const SettingsPlace& facts)
{
    if (!facts.installed && facts.programFolderWritable)
        return programFolder;
    if (!facts.xdgConfigHome.empty() && facts.xdgConfigHome[0] == '/')
        return facts.xdgConfigHome + "/Scrivlet";
    if (!facts.home.empty())
        return facts.home + "/.config/Scrivlet";
    return programFolder;
}

std::string settingsFolder(const std::string& programFolder)
{
    SettingsPlace facts;
    facts.installed = isInstalledProgramFolder(programFolder);
    facts.programFolderWritable = access(programFolder.c_str(), W_OK) == 0;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"))
        facts.xdgConfigHome = xdg;
    if (const char* home = std::getenv("HOME"); home && *home) {
        facts.home = home;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        facts.home = pw->pw_dir;
    }
    return settingsFolder(programFolder, facts);
}

bool makeSettingsFolder(const std::string& folder)
{
    if (isDirectory(folder))
        return true;
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        mkdir(folder.substr(0, slash).c_str(), 0700); // an existing folder stays as it is
    return mkdir(folder.c_str(), 0700) == 0 || isDirectory(folder);
}

} // namespace platform
