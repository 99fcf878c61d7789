#include "cli/consoleFrontEnd.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

#include <atomic>

#include "platform/cp932.h"
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

// Columns a character of the basic plane takes on a terminal: two for the
// wide (East Asian) ranges, one for the rest.
int columnsOf(char16_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
            || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
            || (c >= 0xFFE0 && c <= 0xFFE6)
        ? 2
        : 1;
}

// The longest start of the UTF-8 text that fits in the columns: a line that
// wrapped could not be erased.
std::string fitTo(const std::string& text, int columns)
{
    const std::u16string units = platform::utf8ToUtf16(text);
    int used = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        const bool pair = units[i] >= 0xD800 && units[i] < 0xDC00 && i + 1 < units.size();
        used += pair ? 2 : columnsOf(units[i]);
        if (used > columns)
            return platform::utf16ToUtf8(units.substr(0, i));
        i += pair;
    }
    return text;
}

int terminalColumns(std::FILE* f)
{
    winsize ws{};
    if (ioctl(fileno(f), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

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

void StatusLine::show(const std::string& text)
{
    if (!terminal_)
        return;
    text_ = text;
    // One column to spare: a line filled to the edge wraps on some terminals.
    std::fprintf(err_, "%s%s", kClearLine, fitTo(text_, terminalColumns(err_) - 1).c_str());
    std::fflush(err_);
    drawn_ = true;
}

void StatusLine::hide()
{
    erase();
    text_.clear();
}

void StatusLine::erase()
{
    if (!drawn_)
        return;
    std::fputs(kClearLine, err_);
    std::fflush(err_);
    drawn_ = false;
}

void StatusLine::redraw()
{
    if (!drawn_ && !text_.empty())
        show(text_);
}

void ConsoleLog::insert(const std::string& text)
{
    std::string out = lineBreaks(text);
    if (terminal_) {
        line_ += out;
        size_t end = line_.rfind('\n');
        if (end == std::string::npos)
            return;
        status_.erase();
        std::fwrite(line_.data(), 1, end + 1, out_);
        std::fflush(out_);
        line_.erase(0, end + 1);
        status_.redraw();
        return;
    }
    std::fwrite(out.data(), 1, out.size(), out_);
    if (out.empty() || out.back() != '\n')
        return;
    if (!pending_) {
        pending_ = true;
        lastFlush_ = platform::tickCount(); // the wait starts with the first line held
    }
    flushIfDue();
}

void ConsoleLog::showLineSoFar(bool complete)
{
    if (!terminal_ || line_.empty())
        return;
    std::fprintf(out_, "%s\n", line_.c_str());
    std::fflush(out_);
    if (complete)
        line_.clear();
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
    std::string shown = text;
    if (status_.terminal() && text == "中断ボタンが押されました")
        shown = "Ctrl-Cで中断しました";
    status_.erase();
    log_.showLineSoFar(true); // a failure that ended no line ("フィルタ未対応:...")
    std::fflush(stdout); // the log lines before this box come first where both streams meet
    std::fprintf(err_, "%s\n", lineBreaks(shown).c_str());
    std::fflush(err_);
    status_.redraw();
}

bool ConsoleBoxes::askYesNo(const std::string& text, Icon)
{
    status_.erase();
    log_.showLineSoFar(false);
    std::fflush(stdout);
    std::fprintf(err_, "%s\n", lineBreaks(text).c_str());
    if (!interactive_) {
        std::fprintf(err_, "(not a terminal: answered No)\n");
        std::fflush(err_);
        status_.redraw();
        return false;
    }
    std::fprintf(err_, "[y/N] ");
    std::fflush(err_);
    char line[64];
    bool yes = std::fgets(line, sizeof line, in_) && (line[0] == 'y' || line[0] == 'Y');
    status_.redraw();
    return yes;
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
    if (visible_)
        status_.show(caption_ + " PDFファイル数：" + (count_.empty() ? "0" : count_) + "  " + folder_);
}

void ConsoleNotice::hide()
{
    if (visible_)
        status_.hide();
    visible_ = false;
}

void ConsoleProgress::letMessagesThrough() { pump_.letMessagesThrough(); }

void ConsoleProgress::draw()
{
    if (!status_.terminal() || !visible_)
        return;
    uint32_t now = platform::tickCount();
    if (now - lastDraw_ < 100)
        return; // a terminal needs no more than ten frames a second
    lastDraw_ = now;
    const int width = 30;
    std::string bar(static_cast<size_t>(parent_ * width / 100), '#');
    bar.resize(width, '.');
    char counts[96];
    std::snprintf(counts, sizeof counts, "] %3d%%  %d/%d files", parent_, parentValue(), parentMax());
    std::string text = "[" + bar + counts;
    if (!name_.empty()) { // files converted side by side show only the count
        std::snprintf(counts, sizeof counts, "  %3d%% of ", child_);
        text += counts + name_;
    }
    status_.show(text);
}

void ConsoleProgress::hide()
{
    if (visible_)
        status_.hide();
    visible_ = false;
}

void ConsolePump::letMessagesThrough()
{
    if (log_)
        log_->flushIfDue();
    if (progress_)
        progress_->draw();
    if (!pendingInterrupt.exchange(false))
        return;
    if (notice_ && notice_->visible())
        notice_->setNoticeCancelPushed(true);
    else if (progress_)
        progress_->setCancelButtonPushed(true);
}

} // namespace cli
