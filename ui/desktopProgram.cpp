#include "ui/desktopProgram.h"

#include <cstdio>
#include <cstdlib>

DesktopProgram::DesktopProgram(std::string programFolder, MessageBoxes* boxes, MessagePump* pump)
    : mainForm_(std::make_unique<uiForm>()), progress_(std::make_unique<progressForm>()),
      notice_(std::make_unique<noticeForm>()),
      app_(std::move(programFolder), *progress_, *notice_, *mainForm_, boxes ? *boxes : qtBoxes_,
           pump ? *pump : qtPump_),
      options_(new frmOption(app_.settings, mainForm_.get()))
{
    mainForm_->attach(app_, *options_, [this] { exit(); });
    progress_->placeOver(mainForm_.get());
    notice_->placeOver(mainForm_.get());
    qtBoxes_.owners = {progress_.get(), notice_.get()};
}

DesktopProgram::~DesktopProgram() = default;

bool DesktopProgram::start() { return programStart(app_, *this); }

void DesktopProgram::exit() { programExit(app_, *this); }

void DesktopProgram::initMainFormValues() { mainForm_->initFormValues(); }

void DesktopProgram::initOptionFormValues() { options_->initFormValues(); }

void DesktopProgram::showMainWindow() { mainForm_->show(); }

void DesktopProgram::unloadWindows()
{
    mainForm_->hide();
    progress_->hide();
    notice_->hide();
    options_->unload();
    mainForm_->unloadAbout();
}

void DesktopProgram::endProcess()
{
    if (endProcessHook) {
        endProcessHook();
        return;
    }
    // No window events and no destructors after this point: the settings are
    // already on disk.
    std::fflush(nullptr);
    std::_Exit(0);
}
