// The message boxes and the message pump of the desktop program.
#pragma once

#include <QString>

#include "engine/frontEnd.h"

// Modal boxes captioned "Scrivlet", owned by the active window. A "\r" in the
// text (the engine's line break) starts a new line.
class QtMessageBoxes : public MessageBoxes {
public:
    void showOk(const std::string& text, Icon icon) override;
    bool askYesNo(const std::string& text, Icon icon) override;
};

// Delivers the pending window events once and returns.
class QtMessagePump : public MessagePump {
public:
    void letMessagesThrough() override;
};

// UTF-8 text with "\r\n" or "\r" line breaks, as Qt shows it.
QString displayText(const std::string& text);
