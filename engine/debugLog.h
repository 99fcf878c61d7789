// The debug log: time-stamped trace lines from the engine. Nothing in the
// program opens it, so in normal use every trace call does nothing and no log
// file is written; tests attach a sink to see the lines.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class DebugLog {
public:
    using Sink = std::function<void(std::string_view functionName, std::string_view message)>;

    // Starts logging into sink (tests, or a log file a later version may offer).
    void open(Sink sink);
    bool isOpen() const { return logOpened_; }

    bool logWrite(std::string_view functionName, std::string_view message);
    bool logClose();

private:
    bool logOpened_ = false;
    Sink sink_;
};
