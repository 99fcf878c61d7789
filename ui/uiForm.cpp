#include "ui/uiForm.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include "app/uiMainModule.h"
#include "platform/places.h"
#include "ui/frmAbout.h"
#include "ui/frmOption.h"
#include "ui/qtFrontEnd.h"
#include "ui/uiEtcModule.h"
#include "ui/uiLook.h"

namespace {

// The light-yellow rounded panel behind the instruction.
class RoundedPanel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
        p.setBrush(QColor(0xFF, 0xFF, 0xC0));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
};

// The drop area: shows the program's picture and takes the first dropped
// file or folder. Only local files count; a drop without any is ignored.
class DropArea : public QWidget {
public:
    DropArea(QWidget* parent, std::function<void(const QString&)> dropped)
        : QWidget(parent), dropped_(std::move(dropped))
    {
        setAcceptDrops(true);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QStyleOptionFrame frame;
        frame.initFrom(this);
        frame.frameShape = QFrame::Panel;
        frame.state |= QStyle::State_Sunken;
        frame.lineWidth = 1;
        p.fillRect(rect(), palette().color(QPalette::Base));
        style()->drawPrimitive(QStyle::PE_Frame, &frame, &p, this);
        const int side = qMin(qMin(width(), height()) - 8, 64);
        if (side > 0)
            p.drawPixmap((width() - side) / 2, (height() - side) / 2, documentPicture(side));
    }

    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
    }

    void dragMoveEvent(QDragMoveEvent* event) override
    {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
    }

    void dropEvent(QDropEvent* event) override
    {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                dropped_(url.toLocalFile());
                event->acceptProposedAction();
                return;
            }
        }
    }

private:
    std::function<void(const QString&)> dropped_;
};

// A case-insensitive form of a file pattern: "*.pdf" becomes "*.[pP][dD][fF]".
QString anyCase(const QString& pattern)
{
    QString result;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            result += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            result += c;
    }
    return result;
}

} // namespace

QString dialogNameFilter(const std::string& filter)
{
    const QString f = QString::fromStdString(filter);
    const int bar = f.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return f;
    // The dialog shows only what precedes the last parentheses (it is told to
    // hide filter details), so the description appears exactly as given.
    return f.left(bar) + QStringLiteral(" (") + anyCase(f.mid(bar + 1)) + QLatin1Char(')');
}

uiForm::uiForm(QWidget* parent) : QMainWindow(parent)
{
    getOpenFileName = [this](const std::string& title, const std::string& filter) {
        return QFileDialog::getOpenFileName(this, QString::fromStdString(title), QString(), dialogNameFilter(filter),
                                            nullptr, QFileDialog::HideNameFilterDetails)
            .toStdString();
    };
    browseFolder = [](const std::string& startFolder) { return browseForFolder(startFolder); };
    setupControls();
    setupMenus();
}

void uiForm::setupControls()
{
    setObjectName(QStringLiteral("uiForm"));
    setWindowTitle(QString::fromUtf8(kAppTitle));
    setWindowIcon(programIcon());
    // Minimize but no maximize: the window keeps one size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(gothicFont(9));

    auto* central = new QWidget(this);
    setCentralWidget(central);

    auto* shape1 = new RoundedPanel(central);
    shape1->setObjectName(QStringLiteral("Shape1"));
    auto* label1 = new QLabel(
        QStringLiteral("PDFファイルまたはフォルダを選択するか、右のドロップエリアへドラッグ＆ドロップして下さい。"),
        shape1);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setWordWrap(true);
    auto* panelLayout = new QVBoxLayout(shape1);
    panelLayout->setContentsMargins(5, 4, 5, 4);
    panelLayout->addWidget(label1);

    auto* picture1 = new DropArea(central, [this](const QString& path) { pathDropped(path); });
    picture1->setObjectName(QStringLiteral("Picture1"));

    tbFileName_ = new QLineEdit(central);
    tbFileName_->setObjectName(QStringLiteral("tbFileName"));

    auto* command1 = new QPushButton(QStringLiteral("ﾌｧｲﾙ選択(&S)"), central);
    command1->setObjectName(QStringLiteral("Command1"));
    auto* command3 = new QPushButton(QStringLiteral("ﾌｫﾙﾀﾞ選択(&O)"), central);
    command3->setObjectName(QStringLiteral("Command3"));
    chkSubFolder_ = new QCheckBox(QStringLiteral("サブフォルダ含む"), central);
    chkSubFolder_->setObjectName(QStringLiteral("chkSubFolder"));
    for (QPushButton* b : {command1, command3})
        b->setMinimumWidth(72); // narrower than the style's usual minimum, to fit the row

    Command2_ = new QPushButton(QStringLiteral("実行(&E)"), central);
    Command2_->setObjectName(QStringLiteral("Command2"));
    Command2_->setFont(gothicFont(11.25));
    Command2_->setMinimumHeight(34);
    // A narrow right column leaves the instruction room for two lines.
    picture1->setFixedWidth(92);
    Command2_->setFixedWidth(92);

    auto* label2 = new QLabel(QStringLiteral("処理ログ："), central);
    label2->setObjectName(QStringLiteral("Label2"));

    tbResult_ = new QPlainTextEdit(central);
    tbResult_->setObjectName(QStringLiteral("tbResult"));
    tbResult_->setFont(gothicFixedFont(9));
    tbResult_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    tbResult_->setTabChangesFocus(true); // the log holds no tabs; Tab moves on

    connect(command1, &QPushButton::clicked, this, &uiForm::selectFile);
    connect(command3, &QPushButton::clicked, this, &uiForm::selectFolder);
    connect(Command2_, &QPushButton::clicked, this, &uiForm::execute);
    connect(chkSubFolder_, &QCheckBox::clicked, this, [this](bool checked) {
        if (app_)
            app_->settings.subFolder = checked; // saved at shutdown
    });

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(4);
    buttonRow->addWidget(command1);
    buttonRow->addWidget(command3);
    buttonRow->addSpacing(4);
    buttonRow->addWidget(chkSubFolder_);
    buttonRow->addStretch();

    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(shape1, 1);
    left->addWidget(tbFileName_);
    left->addLayout(buttonRow);

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(picture1, 1);
    right->addWidget(Command2_);

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addLayout(left, 1);
    top->addLayout(right);

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(label2);
    layout->addWidget(tbResult_, 1);

    setFixedSize(kOuterSize); // the frame is not known before the window is shown
}

void uiForm::setupMenus()
{
    struct Item {
        const char* name;
        QString text;
        void (uiForm::*handler)();
    };
    auto addMenu = [this](const char* name, const QString& title, std::initializer_list<Item> items) {
        QMenu* menu = menuBar()->addMenu(title);
        menu->setObjectName(QString::fromLatin1(name));
        for (const Item& item : items) {
            QAction* action = item.handler ? menu->addAction(item.text) : menu->addSeparator();
            action->setObjectName(QString::fromLatin1(item.name));
            if (item.handler)
                connect(action, &QAction::triggered, this, item.handler);
        }
    };
    addMenu("mnFile", QStringLiteral("ﾌｧｲﾙ(&F)"),
            {{"mnFileSelectFile", QStringLiteral("ﾌｧｲﾙ選択(&S)"), &uiForm::selectFile},
             {"mnFileFolderSelect", QStringLiteral("ﾌｫﾙﾀﾞ選択(&O)"), &uiForm::selectFolder},
             {"mnBar0", QString(), nullptr},
             {"mnFileExit", QStringLiteral("終了(&X)"), &uiForm::exitProgram}});
    addMenu("mnTool", QStringLiteral("ﾂｰﾙ(&T)"), {{"mnToolOption", QStringLiteral("ｵﾌﾟｼｮﾝ(&O)"), &uiForm::showOptions}});
    addMenu("mnHelp", QStringLiteral("ﾍﾙﾌﾟ(&H)"),
            {{"mnHelpVersion", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"), &uiForm::showAbout}});
}

void uiForm::attach(Application& app, frmOption& options, std::function<void()> programExit)
{
    app_ = &app;
    options_ = &options;
    programExit_ = std::move(programExit);
}

void uiForm::initFormValues()
{
    // An installed program's folder holds nothing of the user's: browse from home instead.
    userDefaultPath = platform::isInstalledProgramFolder(app_->programFolder) ? QDir::homePath().toStdString()
                                                                              : app_->programFolder;
    chkSubFolder_->setChecked(app_->settings.subFolder);
}

void uiForm::insert(const std::string& text)
{
    QTextCursor end(tbResult_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(displayText(text));
    // Without a selection the caret follows the text and keeps it in view; a
    // selection the user made stays as it is.
    if (!tbResult_->textCursor().hasSelection())
        tbResult_->setTextCursor(end);
}

void uiForm::clear() { tbResult_->clear(); }

void uiForm::unloadAbout()
{
    if (about_)
        about_->reject();
}

void uiForm::selectFile()
{
    const std::string fileName = getOpenFileName("PDFファイルを選択して下さい", "PDFファイル(*.PDF)|*.pdf");
    if (!fileName.empty())
        tbFileName_->setText(QString::fromStdString(fileName));
}

void uiForm::selectFolder()
{
    const std::string folder = browseFolder(userDefaultPath);
    if (folder.empty())
        return;
    tbFileName_->setText(QString::fromStdString(folder));
    userDefaultPath = folder;
}

void uiForm::pathDropped(const QString& path) { tbFileName_->setText(path); }

void uiForm::execute()
{
    if (tbFileName_->text().isEmpty()) {
        app_->boxes.showOk("フォルダまたはファイルを指定して下さい", MessageBoxes::Icon::Exclamation);
        return;
    }
    Command2_->setEnabled(false);
    runConversion(*app_, tbFileName_->text().toStdString()); // converted as typed, untrimmed
    Command2_->setEnabled(true);
}

void uiForm::showOptions() { options_->exec(); }

void uiForm::showAbout()
{
    frmAbout about(this);
    about_ = &about;
    about.exec();
}

void uiForm::exitProgram()
{
    if (programExit_)
        programExit_();
}

void uiForm::closeEvent(QCloseEvent* event)
{
    // Closing is never refused, not even in the middle of a run.
    exitProgram();
    event->accept();
}

void uiForm::pinOuterSize()
{
    if (isMinimized())
        return;
    const QSize decoration = frameGeometry().size() - geometry().size();
    const QSize client = kOuterSize - decoration;
    if (minimumSize() != client || maximumSize() != client)
        setFixedSize(client);
}

void uiForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    pinOuterSize();
}

void uiForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    pinOuterSize();
}

void uiForm::moveEvent(QMoveEvent* event)
{
    // The window manager tells the frame's size late, with a move.
    QMainWindow::moveEvent(event);
    pinOuterSize();
}
