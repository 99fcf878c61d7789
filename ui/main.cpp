// The desktop program. It reads no command-line arguments of its own.
#include <QApplication>

#include "platform/system.h"
#include "ui/desktopProgram.h"
#include "ui/qtFrontEnd.h"

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(SCRIVLET_APP_ID)); // ties the windows to the menu entry
    installQtJapanese(qapp);
    QApplication::setQuitOnLastWindowClosed(false); // only shutdown ends the program
    DesktopProgram program(platform::programFolder());
    if (!program.start())
        return 1;
    return QApplication::exec();
}
