// The windows of the desktop program, as a terminal shows them: the
// processing log on stdout, message boxes and progress on stderr, questions
// on the terminal, and Ctrl-C as the cancel button.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/progressModel.h"
#include "app/noticeView.h"
#include "engine/frontEnd.h"

namespace cli {

// Ctrl-C sets a flag; the next message pump hands it to the window that is
// showing (the notice window during a search, else the progress window).
void installInterruptHandler();
bool interrupted();

// On a terminal every line shows at once. Into a file or a pipe, lines are
// handed on at most ten times a second (a folder run logs thousands, and a
// write per line costs more than converting a small PDF); the message pump
// hands on what waits, so a reader is never more than a moment behind.
class ConsoleLog : public ProcessingLog {
public:
    ConsoleLog(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
    void insert(const std::string& text) override; // "\r\n" becomes "\n"
    void clear() override {}
    void flushIfDue();

private:
    std::FILE* out_;
    bool terminal_;
    bool pending_ = false;
    uint32_t lastFlush_ = 0;
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
    void attach(ConsoleNotice* notice, ConsoleProgress* progress, ConsoleLog* log)
    {
        notice_ = notice;
        progress_ = progress;
        log_ = log;
    }
    void letMessagesThrough() override;

private:
    ConsoleNotice* notice_ = nullptr;
    ConsoleProgress* progress_ = nullptr;
    ConsoleLog* log_ = nullptr;
};

} // namespace cli
