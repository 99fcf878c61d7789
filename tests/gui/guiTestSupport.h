// What the window tests share: a program with its message boxes and message
// pump replaced, PDF files to convert, and ways to act while a modal window
// is open.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/desktopProgram.h"

// Records every box; questions get `answer`. A box the test never looked at
// (through shown() or texts()) fails it at the end, as one it did not expect.
class RecordingBoxes : public MessageBoxes {
public:
    struct Box {
        std::string text;
        Icon icon;
    };
    bool answer = true;

    void showOk(const std::string& text, Icon icon) override { shown_.push_back({text, icon}); }
    bool askYesNo(const std::string& text, Icon icon) override
    {
        shown_.push_back({text, icon});
        return answer;
    }
    const std::vector<Box>& shown() const
    {
        seen_ = shown_.size();
        return shown_;
    }
    std::vector<std::string> texts() const;
    void clear()
    {
        shown_.clear();
        seen_ = 0;
    }
    const Box* unseen() const { return seen_ < shown_.size() ? &shown_[seen_] : nullptr; }

private:
    std::vector<Box> shown_;
    mutable size_t seen_ = 0;
};

// Lets events through like the real pump, after running the test's hook.
class ScriptedPump : public MessagePump {
public:
    std::function<void()> hook;
    void letMessagesThrough() override
    {
        if (hook)
            hook();
        QCoreApplication::processEvents();
    }
};

// Collects the links the about box hands to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QStringList urls;
public slots:
    void open(const QUrl& url) { urls << url.toString(); }
};

// A one-page PDF whose page shows `text`.
std::string minimalPdf(const std::string& text);
void writeFile(const QString& path, const std::string& bytes);
std::string readFile(const QString& path);
// The lines of a text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);

// Runs `open`, which shows a modal window and returns once it is closed, and
// calls `act` with that window from inside its event loop.
template <class Window>
void whileModal(const std::function<void()>& open, const std::function<void(Window*)>& act)
{
    bool acted = false;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        acted = true;
        if (!window) {
            ADD_FAILURE() << "no modal window of the expected kind";
            return;
        }
        act(window);
        if (window->isVisible()) {
            ADD_FAILURE() << "the modal window is still open";
            window->close();
        }
    });
    open();
    EXPECT_TRUE(acted);
}

// A desktop program in a temporary program folder holding the CID table.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The named control of a window; fails the test when it is missing.
    template <class T>
    T* child(QObject& window, const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString programFolder() const { return folder_.path(); }
    QString iniPath() const { return folder_.path() + QStringLiteral("/Scrivlet.ini"); }
    // A new folder for PDF files, inside the temporary folder.
    QString makeFolder(const QString& name) const;
    std::string logText();

    QTemporaryDir folder_;
    RecordingBoxes boxes;
    ScriptedPump pump;
    std::unique_ptr<DesktopProgram> program;
    int endProcessCalls = 0;
};
