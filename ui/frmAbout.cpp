#include "ui/frmAbout.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/uiMainModule.h"
#include "ui/uiLook.h"

namespace {

// A label that hands its own caption to the desktop when clicked; whether the
// desktop could open it is not our concern.
class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
    {
        setTextFormat(Qt::PlainText);
        QFont f = gothicFont(9, true);
        f.setUnderline(true);
        setFont(f);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Qt::blue);
        setPalette(p);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            QDesktopServices::openUrl(QUrl(text()));
        QLabel::mouseReleaseEvent(event);
    }
};

QFrame* lineOf(const char* name, const QColor& colour, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, colour);
    line->setPalette(p);
    return line;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) { setupControls(); }

void frmAbout::setupControls()
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QString::fromUtf8(kAppTitle) + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    setWindowFlags(fixedBorderFlags(Qt::Dialog));
    setModal(true);
    setFont(gothicFont(9));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(documentPicture(48));
    picIcon->setFixedSize(48, 48);

    QLabel* lblTitle = label("lblTitle", QString::fromUtf8(kAppTitle));
    lblTitle->setFont(titleFont(9.75, true));
    QLabel* lblVersion = label("lblVersion", QStringLiteral("Ver ") + QString::fromUtf8(kVersion));
    QLabel* label1 = label("Label1", QStringLiteral("PDFファイルからテキストを抽出するツール"));

    // Etched separator: a grey line over a white one.
    QFrame* line0 = lineOf("Line10", QColor(0x80, 0x80, 0x80), this);
    QFrame* line1 = lineOf("Line11", Qt::white, this);

    QLabel* lblDescription = label("lblDescription", QStringLiteral("Copyright (C) 2026 Scrivlet developers"));
    QLabel* label2 = label("Label2", QStringLiteral("All rights reserved."));
    QLabel* label6 = label("Label6", QStringLiteral("ホームページ："));
    auto* label3 = new LinkLabel(QString::fromUtf8(kHomePage), this);
    label3->setObjectName(QStringLiteral("Label3"));
    QLabel* label4 = label("Label4", QStringLiteral("メールアドレス："));
    auto* label5 = new LinkLabel(QString::fromUtf8(kSupportMail), this);
    label5->setObjectName(QStringLiteral("Label5"));

    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true); // Enter presses it; Escape closes the box the same way
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(2);
    heading->addWidget(lblTitle);
    heading->addWidget(lblVersion);
    heading->addWidget(label1);
    auto* top = new QHBoxLayout;
    top->addWidget(picIcon, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(heading, 1);

    auto* links = new QGridLayout;
    links->setHorizontalSpacing(4);
    links->addWidget(label6, 0, 0);
    links->addWidget(label3, 0, 1);
    links->addWidget(label4, 1, 0);
    links->addWidget(label5, 1, 1);
    links->setColumnStretch(1, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdOK);

    auto* separator = new QVBoxLayout;
    separator->setSpacing(0);
    separator->addWidget(line0);
    separator->addWidget(line1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 10);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(separator);
    layout->addSpacing(6);
    layout->addWidget(lblDescription);
    layout->addWidget(label2);
    layout->addSpacing(6);
    layout->addLayout(links);
    layout->addSpacing(6);
    layout->addLayout(bottom);
    setFixedSize(360, sizeHint().height());
}
