#include "ui/noticeForm.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/uiLook.h"

noticeForm::noticeForm(QWidget* parent) : QWidget(parent, Qt::Window) { setupControls(); }

void noticeForm::setupControls()
{
    setObjectName(QStringLiteral("noticeForm"));
    setWindowTitle(QStringLiteral("フォルダ内検索中…"));
    setWindowFlags(fixedBorderFlags(Qt::Window));
    setWindowIcon(programIcon());
    setFont(gothicFont(9));

    lbFolderName_ = new QLabel(this);
    lbFolderName_->setObjectName(QStringLiteral("lbFolderName"));
    lbFolderName_->setTextFormat(Qt::PlainText);
    lbFolderName_->setWordWrap(true);
    lbFolderName_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbFolderName_->setFixedHeight(QFontMetrics(font()).lineSpacing() * 2 + 2);
    lbFolderName_->setMinimumWidth(1);

    auto* label2 = new QLabel(QStringLiteral("PDFファイル数："), this);
    label2->setObjectName(QStringLiteral("Label2"));
    lbPDFFileNum_ = new QLabel(this);
    lbPDFFileNum_->setObjectName(QStringLiteral("lbPDFFileNum"));
    lbPDFFileNum_->setTextFormat(Qt::PlainText);

    auto* command1 = new QPushButton(QStringLiteral("中断(&C)"), this);
    command1->setObjectName(QStringLiteral("Command1"));
    command1->setAutoDefault(false);
    // Only the flag: the search polls it after each file entry.
    connect(command1, &QPushButton::clicked, this, [this] { noticeCancelPushed_ = true; });

    auto* count = new QHBoxLayout;
    count->addWidget(label2);
    count->addWidget(lbPDFFileNum_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command1);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addWidget(lbFolderName_);
    layout->addLayout(count);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setFixedSize(340, sizeHint().height());
}

void noticeForm::show()
{
    centreOver(*this, anchor_);
    QWidget::show();
}

void noticeForm::setFolderName(const std::string& folder) { lbFolderName_->setText(QString::fromStdString(folder)); }

void noticeForm::setFileNum(const std::string& count) { lbPDFFileNum_->setText(QString::fromStdString(count)); }

std::string noticeForm::caption() const { return windowTitle().toStdString(); }

void noticeForm::setCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }
