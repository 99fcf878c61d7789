// What the conversion engine and the batch run see of the windows. The desktop
// program, the console tool and the tests each implement these.
#pragma once

#include <cstdint>
#include <string>

// Lets pending window messages through once (button clicks, menus, drops).
class MessagePump {
public:
    virtual ~MessagePump() = default;
    virtual void letMessagesThrough() = 0;
};

// The processing log: one line per PDF, its path followed by its outcome.
// Text is UTF-8 and carries its own "\r\n".
class ProcessingLog {
public:
    virtual ~ProcessingLog() = default;
    virtual void insert(const std::string& text) = 0; // at the end
    virtual void clear() = 0;
};

// Modal message boxes; the front end gives them the caption "Scrivlet".
class MessageBoxes {
public:
    enum class Icon { Information, Exclamation, Critical };
    virtual ~MessageBoxes() = default;
    virtual void showOk(const std::string& text, Icon icon) = 0;
    virtual bool askYesNo(const std::string& text, Icon icon) = 0; // true for Yes
};

// The progress window as the batch run and the engine drive it.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void setChildName(const std::string& fileName) = 0;
    virtual void setChildMax(int32_t value) = 0;
    virtual void setChildValue(int32_t value) = 0; // also lets messages through
    virtual void setParentMax(int32_t value) = 0;
    virtual void setParentValue(int32_t value) = 0;
    virtual void clearForm() = 0;
    virtual bool cancelButtonPushed() const = 0;
    virtual void setCancelButtonPushed(bool pushed) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
};
