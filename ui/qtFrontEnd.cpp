#include "ui/qtFrontEnd.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "app/uiMainModule.h"

namespace {

QMessageBox::Icon qtIcon(MessageBoxes::Icon icon)
{
    switch (icon) {
    case MessageBoxes::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxes::Icon::Exclamation:
        return QMessageBox::Warning;
    case MessageBoxes::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString displayText(const std::string& text)
{
    QString s = QString::fromStdString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QWidget* QtMessageBoxes::owner() const
{
    for (QWidget* w : owners)
        if (w && w->isVisible())
            return w;
    return QApplication::activeWindow();
}

void QtMessageBoxes::showOk(const std::string& text, Icon icon)
{
    QMessageBox box(qtIcon(icon), QString::fromUtf8(kAppTitle), displayText(text), QMessageBox::Ok, owner());
    box.exec();
}

bool QtMessageBoxes::askYesNo(const std::string& text, Icon icon)
{
    QMessageBox box(qtIcon(icon), QString::fromUtf8(kAppTitle), displayText(text),
                    QMessageBox::Yes | QMessageBox::No, owner());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtMessagePump::letMessagesThrough() { QCoreApplication::processEvents(); }

bool installQtJapanese(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}
