// The program's state, its start-up and shutdown, the settings and their INI
// file, and the batch run over a file or a folder (its conversion loops are in
// conversionLoops).
#pragma once

#include <cstdint>
#include <string>

#include "app/conversionLoops.h"
#include "app/noticeView.h"
#include "engine/frontEnd.h"
#include "engine/p2tCIDModule.h"
#include "engine/p2tEngine.h"
#include "engine/settings.h"
#include "platform/places.h"

inline constexpr const char* kAppTitle = "Scrivlet";
inline constexpr const char* kIniFileName = "Scrivlet.ini";
inline constexpr const char* kVersion = SCRIVLET_VERSION; // the project version in CMakeLists.txt

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

// Program-wide state: one instance per run of the program (or per test); what
// belongs to one batch run is in run.
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

    int16_t searchTick = 0; // file entries examined, modulo 300; lives for the whole process
    int jobs = 1; // engines converting at once (the console tool; the windows need one)

    BatchRun run; // the current run, or the last one

    std::string iniFileName() const { return platform::settingsFolder(programFolder) + "/" + kIniFileName; }
};

void setDefaultSettings(Settings& settings);
void loadSettings(Application& app);
void saveSettings(Application& app);

bool runConversion(Application& app, const std::string& path);
bool searchPDF(Application& app, std::string& folderPath);
void addTargetPDFFile(Application& app, const std::string& fileName);

// Start-up: settings, windows, the CID table, the main window. False when the
// CID table could not be loaded (the error was shown and endProcess called).
bool programStart(Application& app, ProgramWindows& windows);
// Shutdown: releases the engine, saves the settings, unloads the windows and
// ends the process. Safe to run again from inside itself.
void programExit(Application& app, ProgramWindows& windows);
