// The window shown while a folder is searched for PDF files: the folder being
// searched, the number of PDF files found so far and a cancel button.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/noticeView.h"

class QLabel;

class noticeForm : public QWidget, public NoticeView {
    Q_OBJECT
public:
    explicit noticeForm(QWidget* parent = nullptr);

    void setFolderName(const std::string& folder) override;
    void setFileNum(const std::string& count) override;
    std::string caption() const override;
    void setCaption(const std::string& caption) override;
    bool noticeCancelPushed() const override { return noticeCancelPushed_; }
    void setNoticeCancelPushed(bool pushed) override { noticeCancelPushed_ = pushed; }
    // Opens centred over the window set here (the main window).
    void show() override;
    void placeOver(QWidget* anchor) { anchor_ = anchor; }
    void hide() override { QWidget::hide(); }

private:
    void setupControls();

    QPointer<QWidget> anchor_;
    bool noticeCancelPushed_ = false;
    QLabel* lbFolderName_ = nullptr;
    QLabel* lbPDFFileNum_ = nullptr;
};
