// The progress window of a batch run: the overall bar over the files, the
// file bar over the pages, the file's name and the cancel button.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/progressModel.h"

class QLabel;
class QProgressBar;
class QPushButton;

class progressForm : public QWidget, public ProgressModel {
    Q_OBJECT
public:
    explicit progressForm(QWidget* parent = nullptr);

    // ProgressView's show and hide are the window's own.
    // Opens centred over the window set here (the main window).
    void show() override;
    void placeOver(QWidget* anchor) { anchor_ = anchor; }
    void hide() override { QWidget::hide(); }

protected:
    void showParentPercent(int percent) override;
    void showChildPercent(int percent) override;
    void showFileName(const std::string& name) override;
    void letMessagesThrough() override;

private:
    void setupControls();

    QPointer<QWidget> anchor_;
    QLabel* ppercent1_ = nullptr;
    QProgressBar* pbar1_ = nullptr;
    QLabel* nowPDFFileName_ = nullptr;
    QLabel* ppercent2_ = nullptr;
    QProgressBar* pbar2_ = nullptr;
};
