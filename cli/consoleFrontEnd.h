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

// The last line of a terminal, where the notice and progress windows show
// their state. Whatever else is written to the terminal erases it first and
// draws it again after, so that nothing shares its line. Without a terminal
// it draws nothing.
class StatusLine {
public:
    StatusLine(std::FILE* err, bool terminal) : err_(err), terminal_(terminal) {}
    bool terminal() const { return terminal_; }
    void show(const std::string& text); // cut to the terminal's width
    void hide();                        // erased, and not drawn again
    void erase();
    void redraw();

private:
    std::FILE* err_;
    bool terminal_;
    std::string text_;
    bool drawn_ = false;
};

// On a terminal every line shows at once and whole: the log holds a line back
// until its outcome completes it, and writes it in place of the status line.
// Into a file or a pipe, text goes out as it comes, handed on at most ten
// times a second (a folder run logs thousands, and a write per line costs more
// than converting a small PDF); the message pump hands on what waits, so a
// reader is never more than a moment behind.
class ConsoleLog : public ProcessingLog {
public:
    ConsoleLog(std::FILE* out, bool terminal, StatusLine& status) : out_(out), terminal_(terminal), status_(status) {}
    void insert(const std::string& text) override; // "\r\n" becomes "\n"
    void clear() override {}
    void flushIfDue();
    // Before a question or a message: the part of the line given so far (a
    // file's path) on a line of its own, so that the question follows its
    // file. Unless complete, the whole line still comes when it is complete.
    void showLineSoFar(bool complete);

private:
    std::FILE* out_;
    bool terminal_;
    StatusLine& status_;
    std::string line_; // on a terminal: the line not yet complete
    bool pending_ = false;
    uint32_t lastFlush_ = 0;
};

class ConsoleBoxes : public MessageBoxes {
public:
    ConsoleBoxes(std::FILE* in, std::FILE* err, bool interactive, StatusLine& status, ConsoleLog& log)
        : in_(in), err_(err), interactive_(interactive), status_(status), log_(log)
    {
    }
    // On a terminal the closing message of a run stopped by Ctrl-C speaks of
    // Ctrl-C; a terminal has no cancel button.
    void showOk(const std::string& text, Icon icon) override;
    // Asked on the terminal when stdin is one; otherwise the answer is No, so
    // nothing is overwritten without consent.
    bool askYesNo(const std::string& text, Icon icon) override;

private:
    std::FILE* in_;
    std::FILE* err_;
    bool interactive_;
    StatusLine& status_;
    ConsoleLog& log_;
};

class ConsoleNotice : public NoticeView {
public:
    explicit ConsoleNotice(StatusLine& status) : status_(status) {}
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
    StatusLine& status_;
    std::string caption_ = "フォルダ内検索中…";
    std::string folder_, count_;
    bool cancel_ = false;
    bool visible_ = false;
};

class ConsoleProgress : public ProgressModel {
public:
    ConsoleProgress(StatusLine& status, MessagePump& pump) : status_(status), pump_(pump) {}
    void show() override { visible_ = true; }
    void hide() override;
    bool visible() const { return visible_; }
    void draw(); // at most ten times a second

protected:
    void showParentPercent(int percent) override { parent_ = percent; }
    void showChildPercent(int percent) override { child_ = percent; }
    void showFileName(const std::string& name) override { name_ = name; }
    void letMessagesThrough() override;

private:
    StatusLine& status_;
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
