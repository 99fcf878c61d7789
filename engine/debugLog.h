// The debug log: time-stamped trace lines from the engine. Nothing in the
// program opens it, so in normal use every trace call does nothing and no log
// file is written; tests attach a sink to see the lines.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <type_traits>

class DebugLog {
public:
    using Sink = std::function<void(std::string_view functionName, std::string_view message)>;

    // Starts logging into sink (tests, or a log file a later version may offer).
    void open(Sink sink);
    bool isOpen() const { return logOpened_; }

    bool logWrite(std::string_view functionName, std::string_view message);
    // The message from pieces (text and integers), put together only when a
    // log is open: the engine traces every page and stream.
    template <class... Pieces>
        requires(sizeof...(Pieces) > 1)
    bool logWrite(std::string_view functionName, const Pieces&... pieces)
    {
        if (!logOpened_)
            return false;
        std::string message;
        (append(message, pieces), ...);
        return logWrite(functionName, message);
    }
    bool logClose();

private:
    static void append(std::string& to, std::string_view text) { to += text; }
    template <class Int>
        requires std::is_integral_v<Int>
    static void append(std::string& to, Int n)
    {
        to += std::to_string(n);
    }

    bool logOpened_ = false;
    Sink sink_;
};
