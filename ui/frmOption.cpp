#include "ui/frmOption.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/uiLook.h"

namespace {

QString arrayName(const char* name, int index) { return QString::fromLatin1(name) + QString::number(index); }

} // namespace

frmOption::frmOption(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setupControls();
}

void frmOption::setupControls()
{
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("ｵﾌﾟｼｮﾝ"));
    setWindowFlags(fixedBorderFlags(Qt::Dialog));
    setModal(true);
    setFont(gothicFont(9));

    SSTab1_ = new QTabWidget(this);
    SSTab1_->setObjectName(QStringLiteral("SSTab1"));
    SSTab1_->addTab(setupBehaviourPage(), QStringLiteral("動作設定"));
    SSTab1_->addTab(setupPageBreakPage(), QStringLiteral("ページ区切り"));

    // Neither button is the default or the escape button; they only hide the
    // dialog, so it keeps its tab page for the next opening.
    auto* command1 = new QPushButton(QStringLiteral("OK(&O)"), this);
    command1->setObjectName(QStringLiteral("Command1"));
    auto* command2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), this);
    command2->setObjectName(QStringLiteral("Command2"));
    for (QPushButton* b : {command1, command2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(command1, &QPushButton::clicked, this, [this] {
        saveForm2Memory();
        done(QDialog::Accepted);
    });
    connect(command2, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command1);
    buttons->addWidget(command2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(SSTab1_);
    layout->addLayout(buttons);
    setFixedSize(400, sizeHint().height());
}

QWidget* frmOption::setupBehaviourPage()
{
    auto* page = new QWidget;
    chkOWConfirm_ = new QCheckBox(QStringLiteral("出力ファイルの上書きを確認する"), page);
    chkOWConfirm_->setObjectName(QStringLiteral("chkOWConfirm"));
    chkCRLF_ = new QCheckBox(QStringLiteral("改行を出力する"), page);
    chkCRLF_->setObjectName(QStringLiteral("chkCRLF"));
    chkExtended_ = new QCheckBox(QStringLiteral("拡張読み取り(新しい形式のPDF)"), page);
    chkExtended_->setObjectName(QStringLiteral("chkExtended"));
    auto* label8 = new QLabel(QStringLiteral("出力文字ｺｰﾄﾞ:"), page);
    label8->setObjectName(QStringLiteral("Label8"));
    cboEncoding_ = new QComboBox(page);
    cboEncoding_->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding_->addItems({QStringLiteral("Shift_JIS"), QStringLiteral("UTF-8")});
    label8->setBuddy(cboEncoding_);

    auto* encodingRow = new QHBoxLayout;
    encodingRow->addWidget(label8);
    encodingRow->addWidget(cboEncoding_);
    encodingRow->addStretch();

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);
    layout->addWidget(chkOWConfirm_);
    layout->addWidget(chkCRLF_);
    layout->addWidget(chkExtended_);
    layout->addLayout(encodingRow);
    layout->addStretch();
    return page;
}

QWidget* frmOption::setupPageBreakPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 10, 10, 10);

    const QString groups[2] = {QStringLiteral("ページヘッダー"), QStringLiteral("ページフッター")};
    const QString checks[2] = {QStringLiteral("各ページの先頭にページヘッダーを出力する"),
                               QStringLiteral("各ページの最後尾にページフッターを出力する")};
    const QString formats[2] = {QStringLiteral("ヘッダーの形式："), QStringLiteral("フッターの形式：")};
    for (int i = 0; i < 2; ++i) {
        auto* group = new QGroupBox(groups[i], page);
        chkHeader_[i] = new QCheckBox(checks[i], group);
        chkHeader_[i]->setObjectName(arrayName("chkHeader", i));
        Label1_[i] = new QLabel(formats[i], group);
        Label1_[i]->setObjectName(arrayName("Label1", i));
        tbHeaderFormat_[i] = new QLineEdit(group);
        tbHeaderFormat_[i]->setObjectName(arrayName("tbHeaderFormat", i));
        Label1_[i]->setBuddy(tbHeaderFormat_[i]);
        connect(chkHeader_[i], &QCheckBox::clicked, this, &frmOption::enableFormElements);

        auto* row = new QHBoxLayout;
        row->addSpacing(18); // under the check box's text
        row->addWidget(Label1_[i]);
        row->addWidget(tbHeaderFormat_[i], 1);
        auto* box = new QVBoxLayout(group);
        box->addWidget(chkHeader_[i]);
        box->addLayout(row);
        layout->addWidget(group);
    }

    auto* label3 = new QLabel(QStringLiteral("使用可能なパラメータ："), page);
    label3->setObjectName(QStringLiteral("Label3"));
    layout->addWidget(label3);
    auto* legend = new QGridLayout;
    legend->setContentsMargins(12, 0, 0, 0);
    legend->setHorizontalSpacing(24);
    const struct {
        const char* name;
        QString text;
        int row, column;
    } entries[] = {{"Label4", QStringLiteral("%P：ページ番号"), 0, 0},
                   {"Label7", QStringLiteral("%N：ファイル名"), 0, 1},
                   {"Label5", QStringLiteral("%A：全ページ数"), 1, 0},
                   {"Label6", QStringLiteral("%F：ファイル名（フルパス）"), 1, 1}};
    for (const auto& e : entries) {
        auto* label = new QLabel(e.text, page);
        label->setObjectName(QString::fromLatin1(e.name));
        label->setFont(gothicFixedFont(9));
        label->setTextFormat(Qt::PlainText);
        legend->addWidget(label, e.row, e.column);
    }
    legend->setColumnStretch(2, 1);
    layout->addLayout(legend);
    layout->addStretch();
    return page;
}

void frmOption::initFormValues()
{
    chkOWConfirm_->setChecked(true);
    chkCRLF_->setChecked(true);
    chkExtended_->setChecked(false);
    cboEncoding_->setCurrentIndex(0);
    chkHeader_[0]->setChecked(true);
    tbHeaderFormat_[0]->setText(QString::fromUtf8(Settings::kDefaultFormat));
    chkHeader_[1]->setChecked(false);
    tbHeaderFormat_[1]->setText(QString::fromUtf8(Settings::kDefaultFormat));
    enableFormElements();
    SSTab1_->setCurrentIndex(0);
}

void frmOption::loadMemory2Form()
{
    chkOWConfirm_->setChecked(settings_.OWConfirm);
    chkCRLF_->setChecked(settings_.CRLF);
    chkExtended_->setChecked(settings_.extended);
    cboEncoding_->setCurrentIndex(settings_.encoding == TextEncoding::Utf8 ? 1 : 0);
    for (int i = 0; i < 2; ++i) {
        chkHeader_[i]->setChecked(settings_.headfootUse[i]);
        tbHeaderFormat_[i]->setText(QString::fromStdString(settings_.headfootFormat[i]));
    }
}

void frmOption::saveForm2Memory()
{
    settings_.OWConfirm = chkOWConfirm_->isChecked();
    settings_.CRLF = chkCRLF_->isChecked();
    settings_.extended = chkExtended_->isChecked();
    settings_.encoding = cboEncoding_->currentIndex() == 1 ? TextEncoding::Utf8 : TextEncoding::Cp932;
    for (int i = 0; i < 2; ++i) {
        settings_.headfootUse[i] = chkHeader_[i]->isChecked();
        settings_.headfootFormat[i] = tbHeaderFormat_[i]->text().toStdString(); // as typed, even empty
    }
}

void frmOption::enableFormElements()
{
    for (int i = 0; i < 2; ++i) {
        const bool on = chkHeader_[i]->isChecked();
        Label1_[i]->setEnabled(on);
        tbHeaderFormat_[i]->setEnabled(on); // keeps its text, which OK still saves
    }
}

void frmOption::unload()
{
    if (isVisible())
        done(QDialog::Rejected);
    SSTab1_->setCurrentIndex(0);
}

void frmOption::showEvent(QShowEvent* event)
{
    // Every opening starts from the settings in memory; restoring a minimized
    // window is no opening.
    if (!event->spontaneous()) {
        loadMemory2Form();
        enableFormElements();
    }
    QDialog::showEvent(event);
}

void frmOption::closeEvent(QCloseEvent* event)
{
    // The title-bar close box discards the dialog as a whole: the next opening
    // starts on the first page. OK and Cancel only hide it and do not come here.
    SSTab1_->setCurrentIndex(0);
    QDialog::closeEvent(event);
}

void frmOption::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept(); // neither button answers Enter or Escape
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
