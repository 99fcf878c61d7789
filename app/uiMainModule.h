// The program's state, its start-up and shutdown, the settings and their INI
// file, and the batch run over a file or a folder.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/frontEnd.h"
#include "engine/p2tCIDModule.h"
#include "engine/p2tEngine.h"
#include "engine/settings.h"
#include "platform/places.h"

inline constexpr const char* kAppTitle = "Scrivlet";
inline constexpr const char* kIniFileName = "Scrivlet.ini";
inline constexpr const char* kVersion = "0.13";

// What start-up and shutdown do with the windows.
class ProgramWindows {
public:
    virtual ~ProgramWindows() = default;
    virtual void initMainFormValues() = 0;   // uiForm
    virtual void initOptionFormValues() = 0; // frmOption
    virtual void showMainWindow() = 0;
    virtual void unloadWindows() = 0;        // uiForm, progressForm, noticeForm, frmOption, frmAbout
    virtual void endProcess() = 0;
};

// Program-wide state: one instance per run of the program (or per test).
class Application {
public:
    Application(std::string programFolder, ProgressView& progress, NoticeView& notice, ProcessingLog& log,
                MessageBoxes& boxes, MessagePump& pump);

    std::string programFolder;
    Settings settings;
    CidTable cidTable;
    ProgressView& progress;
    NoticeView& notice;
    ProcessingLog& log;
    MessageBoxes& boxes;
    MessagePump& pump;
    p2tEngine engine;

    // The batch run.
    std::vector<std::string> targetFiles;
    int32_t targetCount = 0;
    int16_t searchTick = 0; // file entries examined, modulo 300; never reset by a run
    std::set<std::pair<dev_t, ino_t>> foldersEntered; // this run's folders, each searched once
    int jobs = 1; // engines converting at once (the console tool; the windows need one)

    // How the last run went (the console tool's exit status).
    int32_t filesConverted = 0;
    int32_t filesFailed = 0;
    bool runCancelled = false;

    std::string iniFileName() const { return platform::settingsFolder(programFolder) + "/" + kIniFileName; }
};

void setDefaultSettings(Settings& settings);
void loadSettings(Application& app);
void saveSettings(Application& app);

bool runConversion(Application& app, const std::string& path);
bool searchPDF(Application& app, std::string& folderPath);
void addTargetPDFFile(Application& app, const std::string& fileName);

// The "...done(1.234秒)" text of a conversion that took elapsedMs.
std::string doneMessage(uint32_t elapsedMs);

// Start-up: settings, windows, the CID table, the main window. False when the
// CID table could not be loaded (the error was shown and endProcess called).
bool programStart(Application& app, ProgramWindows& windows);
// Shutdown: releases the engine, saves the settings, unloads the windows and
// ends the process. Safe to run again from inside itself.
void programExit(Application& app, ProgramWindows& windows);
