// The desktop program as a whole: its windows, the program state, and what
// start-up and shutdown do with the windows.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/uiMainModule.h"
#include "ui/frmOption.h"
#include "ui/noticeForm.h"
#include "ui/progressForm.h"
#include "ui/qtFrontEnd.h"
#include "ui/uiForm.h"

class DesktopProgram : public ProgramWindows {
public:
    // Null boxes or pump mean the real message boxes and message pump; tests
    // pass their own to answer the boxes and to act in the middle of a run.
    explicit DesktopProgram(std::string programFolder, MessageBoxes* boxes = nullptr, MessagePump* pump = nullptr);
    ~DesktopProgram() override;

    bool start(); // programStart: false when the CID table could not be loaded
    void exit();  // programExit

    Application& app() { return app_; }
    uiForm& mainForm() { return *mainForm_; }
    progressForm& progress() { return *progress_; }
    noticeForm& notice() { return *notice_; }
    frmOption& options() { return *options_; }

    // Ends the process at once; tests put a recorder here instead.
    std::function<void()> endProcessHook;

    void initMainFormValues() override;
    void initOptionFormValues() override;
    void showMainWindow() override;
    void unloadWindows() override;
    void endProcess() override;

private:
    QtMessageBoxes qtBoxes_;
    QtMessagePump qtPump_;
    std::unique_ptr<uiForm> mainForm_;
    std::unique_ptr<progressForm> progress_;
    std::unique_ptr<noticeForm> notice_;
    Application app_;
    frmOption* options_; // owned by the main window, over which it opens
};
