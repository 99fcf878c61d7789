// The message boxes and the message pump of the desktop program.
#pragma once

#include <QString>

#include <vector>

#include "engine/frontEnd.h"

class QCoreApplication;
class QWidget;

// Modal boxes captioned "Scrivlet", opening over the first of `owners` that is
// showing (the progress or notice window during a run, where the user looks),
// else over the active window. A "\r" in the text (the engine's line break)
// starts a new line.
class QtMessageBoxes : public MessageBoxes {
public:
    void showOk(const std::string& text, Icon icon) override;
    bool askYesNo(const std::string& text, Icon icon) override;

    std::vector<QWidget*> owners;

private:
    QWidget* owner() const;
};

// Qt's own words (the file dialog, the folder browser, the message boxes'
// buttons) in Japanese, from Debian's qt6-translations-l10n; false when that
// is not installed, and they stay English.
bool installQtJapanese(QCoreApplication& app);

// Delivers the pending window events once and returns.
class QtMessagePump : public MessagePump {
public:
    void letMessagesThrough() override;
};

// UTF-8 text with "\r\n" or "\r" line breaks, as Qt shows it.
QString displayText(const std::string& text);
