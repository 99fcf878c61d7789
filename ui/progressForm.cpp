#include "ui/progressForm.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/uiLook.h"

namespace {

// A file name too long for its place loses its middle, so that its end (the
// part that tells files apart) stays visible; text() keeps the whole name.
class MiddleElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect r = contentsRect();
        p.drawText(r, static_cast<int>(alignment()), fontMetrics().elidedText(text(), Qt::ElideMiddle, r.width()));
    }
};

} // namespace

progressForm::progressForm(QWidget* parent) : QWidget(parent, Qt::Window) { setupControls(); }

void progressForm::setupControls()
{
    setObjectName(QStringLiteral("progressForm"));
    setWindowTitle(QStringLiteral("処理中…"));
    setWindowFlags(fixedBorderFlags(Qt::Window));
    setWindowIcon(programIcon());
    setFont(gothicFont(9));

    auto heading = [this](const char* name, const QString& text) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(gothicFont(9, true));
        return label;
    };
    auto percent = [this](const char* name) {
        auto* label = new QLabel(QStringLiteral("100%"), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(gothicFont(9.75, true));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setFixedWidth(44);
        return label;
    };
    auto bar = [this](const char* name) {
        auto* b = new QProgressBar(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setRange(0, 100);
        b->setValue(0);
        b->setTextVisible(false); // the percent label beside it tells the number
        b->setFixedHeight(18);
        return b;
    };

    QLabel* label1 = heading("Label1", QStringLiteral("全体の進捗："));
    ppercent1_ = percent("ppercent1");
    pbar1_ = bar("pbar1");
    QLabel* label3 = heading("Label3", QStringLiteral("処理中のPDFﾌｧｲﾙ："));
    nowPDFFileName_ = new MiddleElidedLabel(this);
    nowPDFFileName_->setObjectName(QStringLiteral("nowPDFFileName"));
    nowPDFFileName_->setTextFormat(Qt::PlainText); // a file name is never markup
    nowPDFFileName_->setMinimumWidth(1); // a long name is elided, not widening the window
    ppercent2_ = percent("ppercent2");
    pbar2_ = bar("pbar2");
    auto* command1 = new QPushButton(QStringLiteral("中断(&C)"), this);
    command1->setObjectName(QStringLiteral("Command1"));
    command1->setAutoDefault(false);
    // The button only raises the flag; the run polls it between pages.
    connect(command1, &QPushButton::clicked, this, [this] { setCancelButtonPushed(true); });

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->addWidget(label1, 0, 0, 1, 2);
    grid->addWidget(ppercent1_, 1, 0);
    grid->addWidget(pbar1_, 1, 1);
    auto* fileLine = new QHBoxLayout;
    fileLine->addWidget(label3);
    fileLine->addWidget(nowPDFFileName_, 1);
    grid->addItem(new QSpacerItem(0, 8), 2, 0);
    grid->addLayout(fileLine, 3, 0, 1, 2);
    grid->addWidget(ppercent2_, 4, 0);
    grid->addWidget(pbar2_, 4, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command1);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setFixedSize(360, sizeHint().height());
}

void progressForm::showParentPercent(int percent)
{
    pbar1_->setValue(percent);
    ppercent1_->setText(QString::number(pbar1_->value()) + QLatin1Char('%'));
}

void progressForm::showChildPercent(int percent)
{
    pbar2_->setValue(percent);
    ppercent2_->setText(QString::number(pbar2_->value()) + QLatin1Char('%'));
}

void progressForm::showFileName(const std::string& name)
{
    nowPDFFileName_->setText(QString::fromStdString(name));
    // No events are let through until the next page, so paint the new name now.
    repaint();
}

void progressForm::show()
{
    centreOver(*this, anchor_);
    QWidget::show();
}

void progressForm::letMessagesThrough() { QCoreApplication::processEvents(); }
