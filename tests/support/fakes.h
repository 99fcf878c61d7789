// Test doubles for the windows: they record what the engine and the batch
// run show, and answer questions as a test tells them to.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/noticeView.h"
#include "app/progressModel.h"
#include "engine/frontEnd.h"

class FakeLog : public ProcessingLog {
public:
    void insert(const std::string& text) override { text_ += text; }
    void clear() override { text_.clear(); ++clears; }
    const std::string& text() const { return text_; }
    int clears = 0;

private:
    std::string text_;
};

class FakeBoxes : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        Icon icon;
        bool question;
        size_t logLength; // how much of the watched log came before it
    };
    void showOk(const std::string& text, Icon icon) override { shown_.push_back({text, icon, false, logLength()}); }
    bool askYesNo(const std::string& text, Icon icon) override
    {
        shown_.push_back({text, icon, true, logLength()});
        if (answers.empty())
            return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    // The boxes shown so far; the test has now seen them.
    const std::vector<Shown>& shown() const
    {
        seen_ = shown_.size();
        return shown_;
    }
    // The first box shown after the test last looked, or null: the harnesses
    // fail a test that leaves one unseen, as a box it did not expect.
    const Shown* unseen() const { return seen_ < shown_.size() ? &shown_[seen_] : nullptr; }
    std::deque<bool> answers; // for askYesNo, in order; No when none is left
    const FakeLog* watched = nullptr;

private:
    std::vector<Shown> shown_;
    mutable size_t seen_ = 0;
    size_t logLength() const { return watched ? watched->text().size() : 0; }
};

class FakePump : public MessagePump {
public:
    void letMessagesThrough() override
    {
        ++count;
        if (onPump)
            onPump();
    }
    int count = 0;
    std::function<void()> onPump;
};

class FakeProgress : public ProgressModel {
public:
    explicit FakeProgress(MessagePump& pump) : pump_(pump) {}
    void show() override { visible = true; ++shows; }
    void hide() override { visible = false; }
    std::vector<int> parentPercents, childPercents;
    std::string fileName;
    bool visible = false;
    int shows = 0;
    std::vector<int32_t> childValues;
    std::function<void(int32_t)> onChildValue; // e.g. press cancel on page k
    void setChildValue(int32_t value) override
    {
        childValues.push_back(value);
        if (onChildValue)
            onChildValue(value);
        ProgressModel::setChildValue(value);
    }

protected:
    void showParentPercent(int p) override { parentPercents.push_back(p); }
    void showChildPercent(int p) override { childPercents.push_back(p); }
    void showFileName(const std::string& name) override { fileName = name; }
    void letMessagesThrough() override { pump_.letMessagesThrough(); }

private:
    MessagePump& pump_;
};

class FakeNotice : public NoticeView {
public:
    void setFolderName(const std::string& f) override { folders.push_back(f); }
    void setFileNum(const std::string& c) override { count = c; }
    std::string caption() const override { return caption_; }
    void setCaption(const std::string& c) override { caption_ = c; }
    bool noticeCancelPushed() const override { return cancel; }
    void setNoticeCancelPushed(bool p) override { cancel = p; }
    void show() override { visible = true; }
    void hide() override { visible = false; }
    std::vector<std::string> folders;
    std::string count;
    std::string caption_ = "フォルダ内検索中…";
    bool cancel = false;
    bool visible = false;
};
