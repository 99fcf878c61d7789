#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "ui/uiEtcModule.h"

std::string browseForFolder(const std::string& startFolder)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const QString start = QString::fromStdString(startFolder);
    // Selecting the folder by its full path opens the browser in the folder
    // above it with the folder itself selected; a folder that does not exist
    // leaves the browser where it opens by default.
    if (!start.isEmpty() && QFileInfo(start).isDir())
        dialog.selectFile(start);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::string() : chosen.first().toStdString();
}
