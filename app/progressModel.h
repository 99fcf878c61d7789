// The arithmetic of the progress window, shared by every front end: the
// overall bar over the files, the per-file bar over the pages, and the share
// of the overall bar that the current file's pages add.
#pragma once

#include <cstdint>
#include <string>

#include "engine/frontEnd.h"

// A percent in 0..100: value * 100 / max rounded half to even; 0 when max is 0.
int16_t calcPercent(int32_t value, int32_t max);

// The overall bar while a file is being converted: the finished files' share
// plus the current file's share scaled by its page progress.
int16_t overallPercent(int32_t parentValue, int32_t parentMax, int16_t childPercent);

// The progress of an engine at work out of sight (a worker of a parallel
// run, a benchmark): nothing is shown and nobody cancels.
class UnseenProgress : public ProgressView {
public:
    void setChildName(const std::string&) override {}
    void setChildMax(int32_t) override {}
    void setChildValue(int32_t) override {}
    void setParentMax(int32_t) override {}
    void setParentValue(int32_t) override {}
    void clearForm() override {}
    bool cancelButtonPushed() const override { return false; }
    void setCancelButtonPushed(bool) override {}
    void show() override {}
    void hide() override {}
};

class ProgressModel : public ProgressView {
public:
    void setChildName(const std::string& fileName) override;
    void setChildMax(int32_t value) override { childMax_ = value; }
    void setChildValue(int32_t value) override;
    void setParentMax(int32_t value) override { parentMax_ = value; }
    void setParentValue(int32_t value) override;
    void clearForm() override;
    bool cancelButtonPushed() const override { return cancelButtonPushed_; }
    void setCancelButtonPushed(bool pushed) override { cancelButtonPushed_ = pushed; }

    int32_t parentMax() const { return parentMax_; }
    int32_t childMax() const { return childMax_; }
    int32_t parentValue() const { return parentValue_; }

protected:
    // What the window shows; called with percents in 0..100.
    virtual void showParentPercent(int percent) = 0;   // pbar1, ppercent1
    virtual void showChildPercent(int percent) = 0;    // pbar2, ppercent2
    virtual void showFileName(const std::string& name) = 0; // nowPDFFileName, repainted at once
    virtual void letMessagesThrough() = 0;

private:
    bool cancelButtonPushed_ = false;
    int32_t parentMax_ = 0;
    int32_t childMax_ = 0;
    int32_t parentValue_ = 0;
};
