// The windows of the desktop program, as a terminal shows them: the
// processing log on stdout, message boxes and progress on stderr, questions
// on the terminal, and Ctrl-C as the cancel button.
#pragma once

#include <cstdio>
#include <string>

#include "app/progressModel.h"
#include "engine/frontEnd.h"

namespace cli {

// Ctrl-C sets a flag; the next message pump hands it to the window that is
// showing (the notice window during a search, else the progress window).
void installInterruptHandler();
bool interrupted();

class ConsoleLog : public ProcessingLog {
public:
    explicit ConsoleLog(std::FILE* out) : out_(out) {}
    void insert(const std::string& text) override; // "\r\n" becomes "\n"
    void clear() override {}

private:
    std::FILE* out_;
};

class ConsoleBoxes : public MessageBoxes {
public:
    ConsoleBoxes(std::FILE* in, std::FILE* err, bool interactive, bool errIsTerminal)
        : in_(in), err_(err), interactive_(interactive), clear_(errIsTerminal ? "\r\033[K" : "")
    {
    }
    void showOk(const std::string& text, Icon icon) override;
    // Asked on the terminal when stdin is one; otherwise the answer is No, so
    // nothing is overwritten without consent.
    bool askYesNo(const std::string& text, Icon icon) override;

private:
    std::FILE* in_;
    std::FILE* err_;
    bool interactive_;
    const char* clear_; // wipes a progress line first, on a terminal
};

class ConsoleNotice : public NoticeView {
public:
    explicit ConsoleNotice(std::FILE* err, bool drawStatus) : err_(err), draw_(drawStatus) {}
    void setFolderName(const std::string& folder) override;
    void setFileNum(const std::string& count) override;
    std::string caption() const override { return caption_; }
    void setCaption(const std::string& caption) override { caption_ = caption; }
    bool noticeCancelPushed() const override { return cancel_; }
    void setNoticeCancelPushed(bool pushed) override { cancel_ = pushed; }
    void show() override { visible_ = true; }
    void hide() override;
    bool visible() const { return visible_; }

private:
    void draw();
    std::FILE* err_;
    bool draw_;
    std::string caption_ = "フォルダ内検索中…";
    std::string folder_, count_;
    bool cancel_ = false;
    bool visible_ = false;
};

class ConsoleProgress : public ProgressModel {
public:
    ConsoleProgress(std::FILE* err, bool drawBar, MessagePump& pump) : err_(err), draw_(drawBar), pump_(pump) {}
    void show() override { visible_ = true; }
    void hide() override;
    bool visible() const { return visible_; }

protected:
    void showParentPercent(int percent) override { parent_ = percent; }
    void showChildPercent(int percent) override { child_ = percent; }
    void showFileName(const std::string& name) override { name_ = name; }
    void letMessagesThrough() override;

private:
    void draw();
    std::FILE* err_;
    bool draw_;
    MessagePump& pump_;
    bool visible_ = false;
    int parent_ = 0, child_ = 0;
    std::string name_;
    uint32_t lastDraw_ = 0;
};

class ConsolePump : public MessagePump {
public:
    void attach(ConsoleNotice* notice, ConsoleProgress* progress)
    {
        notice_ = notice;
        progress_ = progress;
    }
    void letMessagesThrough() override;

private:
    ConsoleNotice* notice_ = nullptr;
    ConsoleProgress* progress_ = nullptr;
};

} // namespace cli
