#include "engine/debugLog.h"

void DebugLog::open(Sink sink)
{
    sink_ = std::move(sink);
    logOpened_ = static_cast<bool>(sink_);
}

bool DebugLog::logWrite(std::string_view functionName, std::string_view message)
{
    if (!logOpened_)
        return false;
    sink_(functionName, message);
    return true;
}

bool DebugLog::logClose()
{
    if (!logOpened_)
        return false;
    logWrite("logClose", "★ログファイルをクローズしました★");
    sink_ = nullptr;
    logOpened_ = false;
    return true;
}
