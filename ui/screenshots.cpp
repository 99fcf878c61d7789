// Renders the main window, the progress window and the options dialog to PNG
// files for the documentation, with sample contents and no display needed:
//   scrivlet-screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

#include "ui/desktopProgram.h"

namespace {

bool save(QWidget& window, const QDir& folder, const char* name)
{
    window.show();
    QApplication::processEvents();
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    window.hide();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.path()));
        return 1;
    }

    QTemporaryDir programFolder; // no settings file, so the defaults show
    DesktopProgram program(programFolder.path().toStdString());
    program.initMainFormValues();
    program.initOptionFormValues();

    uiForm& main = program.mainForm();
    main.findChild<QLineEdit*>(QStringLiteral("tbFileName"))->setText(QStringLiteral("/home/user/文書/資料"));
    main.insert("/home/user/文書/資料/会議録.pdf...done(0.182秒)\r\n");
    main.insert("/home/user/文書/資料/2024年度報告書.pdf...done(1.406秒)\r\n");
    main.insert("/home/user/文書/資料/古い/scan.pdf...非対応(暗号化)\r\n");
    main.insert("/home/user/文書/資料/古い/手順書.pdf");
    bool ok = save(main, out, "main-window.png");

    progressForm& progress = program.progress();
    progress.clearForm();
    progress.setParentMax(4);
    progress.setParentValue(1);
    progress.setChildMax(13);
    progress.setChildName("/home/user/文書/資料/2024年度 第3四半期 営業部 売上報告書 確定版 最終.pdf");
    progress.setChildValue(8);
    ok = save(progress, out, "progress-window.png") && ok;

    frmOption& options = program.options();
    options.findChild<QTabWidget*>(QStringLiteral("SSTab1"))->setCurrentIndex(1);
    options.setModal(false);
    ok = save(options, out, "options-dialog.png") && ok;
    return ok ? 0 : 1;
}
