// Where the program finds its data files and keeps its settings file.
//
// Run from the folder it was built or copied into, the program keeps both
// beside itself. Installed (its folder is an installation's "bin", with the
// program's data folder at kDataFromProgramFolder from it), the data come from
// that data folder and the settings belong to the user. A program
// folder the user cannot write also sends the settings to the user's folder.
#pragma once

#include <string>

namespace platform {

// The data folder relative to the program folder of an installation, e.g.
// "../share/scrivlet"; the build sets it from the install layout.
extern const char* const kDataFromProgramFolder;

// True when programFolder is the program folder of an installation.
bool isInstalledProgramFolder(const std::string& programFolder);

// The folder that holds the program's data files ("AdobeCID.dat").
std::string dataFolder(const std::string& programFolder);

// What decides the settings folder, as gathered from the system.
struct SettingsPlace {
    bool installed = false;            // isInstalledProgramFolder
    bool programFolderWritable = true; // by the user running the program
    std::string xdgConfigHome;         // $XDG_CONFIG_HOME ("" when unset)
    std::string home;                  // $HOME, else the user's home folder
};

// The settings folder for these facts: the program folder itself, or else the
// user's configuration folder ($XDG_CONFIG_HOME when it is an absolute path,
// otherwise ~/.config) with "Scrivlet" in it. Without a home folder either,
// the program folder.
std::string settingsFolder(const std::string& programFolder, const SettingsPlace& facts);

// The settings folder of this program run from programFolder.
std::string settingsFolder(const std::string& programFolder);

// Makes folder, and the missing folders above it, private to the user as a
// configuration folder should be. True when the folder exists afterwards.
bool makeSettingsFolder(const std::string& folder);

} // namespace platform
