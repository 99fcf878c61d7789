#include "cli/consoleFrontEnd.h"

#include <csignal>

#include <atomic>

#include "platform/system.h"

namespace cli {
namespace {

std::atomic<bool> pendingInterrupt{false};
std::atomic<bool> anyInterrupt{false};

void onInterrupt(int)
{
    pendingInterrupt = true;
    anyInterrupt = true;
}

std::string lineBreaks(std::string text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

constexpr const char* kClearLine = "\r\033[K";

} // namespace

void installInterruptHandler()
{
    struct sigaction sa{};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND; // a second Ctrl-C ends the program at once
    sigaction(SIGINT, &sa, nullptr);
}

bool interrupted() { return anyInterrupt; }

void ConsoleLog::insert(const std::string& text)
{
    std::string out = lineBreaks(text);
    std::fwrite(out.data(), 1, out.size(), out_);
    if (out.empty() || out.back() != '\n')
        return;
    if (terminal_) {
        std::fflush(out_);
        return;
    }
    if (!pending_) {
        pending_ = true;
        lastFlush_ = platform::tickCount(); // the wait starts with the first line held
    }
    flushIfDue();
}

void ConsoleLog::flushIfDue()
{
    if (pending_ && platform::tickCount() - lastFlush_ >= 100) {
        std::fflush(out_);
        pending_ = false;
    }
}

void ConsoleBoxes::showOk(const std::string& text, Icon)
{
    std::fflush(stdout); // the log lines before this box come first where both streams meet
    std::fprintf(err_, "%s%s\n", clear_, lineBreaks(text).c_str());
    std::fflush(err_);
}

bool ConsoleBoxes::askYesNo(const std::string& text, Icon)
{
    std::fflush(stdout);
    std::fprintf(err_, "%s%s\n", clear_, lineBreaks(text).c_str());
    if (!interactive_) {
        std::fprintf(err_, "(not a terminal: answered No)\n");
        std::fflush(err_);
        return false;
    }
    std::fprintf(err_, "[y/N] ");
    std::fflush(err_);
    char line[64];
    if (!std::fgets(line, sizeof line, in_))
        return false;
    return line[0] == 'y' || line[0] == 'Y';
}

void ConsoleNotice::setFolderName(const std::string& folder)
{
    folder_ = folder;
    draw();
}

void ConsoleNotice::setFileNum(const std::string& count)
{
    count_ = count;
    draw();
}

void ConsoleNotice::draw()
{
    if (!draw_ || !visible_)
        return;
    std::fprintf(err_, "%s%s PDFファイル数：%s  %s", kClearLine, caption_.c_str(), count_.empty() ? "0" : count_.c_str(),
                 folder_.c_str());
    std::fflush(err_);
}

void ConsoleNotice::hide()
{
    if (draw_ && visible_) {
        std::fputs(kClearLine, err_);
        std::fflush(err_);
    }
    visible_ = false;
}

void ConsoleProgress::letMessagesThrough()
{
    draw();
    pump_.letMessagesThrough();
}

void ConsoleProgress::draw()
{
    if (!draw_ || !visible_)
        return;
    uint32_t now = platform::tickCount();
    if (now - lastDraw_ < 100)
        return; // a terminal needs no more than ten frames a second
    lastDraw_ = now;
    const int width = 30;
    std::string bar(static_cast<size_t>(parent_ * width / 100), '#');
    bar.resize(width, '.');
    std::fprintf(err_, "%s[%s] %3d%%  %d/%d files  %3d%% of %s", kClearLine, bar.c_str(), parent_, parentValue(),
                 parentMax(), child_, name_.c_str());
    std::fflush(err_);
}

void ConsoleProgress::hide()
{
    if (draw_ && visible_) {
        std::fputs(kClearLine, err_);
        std::fflush(err_);
    }
    visible_ = false;
}

void ConsolePump::letMessagesThrough()
{
    if (log_)
        log_->flushIfDue();
    if (!pendingInterrupt.exchange(false))
        return;
    if (notice_ && notice_->visible())
        notice_->setNoticeCancelPushed(true);
    else if (progress_)
        progress_->setCancelButtonPushed(true);
}

} // namespace cli
