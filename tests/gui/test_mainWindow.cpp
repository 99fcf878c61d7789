// The main window: start-up and shutdown with the INI file, where the path
// comes from, the Execute button's checks, and the processing log.
#include <QAction>
#include <QCheckBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "tests/gui/guiTestSupport.h"

namespace {

using Icon = MessageBoxes::Icon;

class GuiMainWindow : public ProgramTest {
protected:
    QLineEdit* path() { return child<QLineEdit>(program->mainForm(), "tbFileName"); }

    void drop(QMimeData* data)
    {
        QWidget* area = child<QWidget>(program->mainForm(), "Picture1");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &enter);
        QDropEvent dropEvent(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &dropEvent);
        delete data;
    }

    void dropUrls(const QList<QUrl>& urls)
    {
        auto* data = new QMimeData;
        data->setUrls(urls);
        drop(data);
    }
};

TEST_F(GuiMainWindow, StartsFromTheIniFileAndSavesChangesAtExit)
{
    writeFile(iniPath(), "[envs]\r\nOWConfirm=true\r\nCRLF=True\r\nsubFolder=False\r\n"
                         "[headfoot]\r\nuse0=True\r\nformat0=<%P>\r\n");
    ASSERT_TRUE(program->start());

    uiForm& window = program->mainForm();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Scrivlet"));
    EXPECT_EQ(window.frameGeometry().size(), uiForm::kOuterSize);
    window.resize(600, 500);
    EXPECT_EQ(window.frameGeometry().size(), uiForm::kOuterSize) << "the window cannot be resized";
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(path()->text().isEmpty());
    EXPECT_TRUE(logText().empty());
    EXPECT_EQ(window.userDefaultPath, programFolder().toStdString());

    // The file's values, letter case and missing keys included.
    QCheckBox* subFolder = child<QCheckBox>(window, "chkSubFolder");
    EXPECT_FALSE(subFolder->isChecked());
    EXPECT_FALSE(program->app().settings.OWConfirm);
    EXPECT_EQ(program->app().settings.headfootFormat[0], "<%P>");
    EXPECT_FALSE(program->app().settings.headfootUse[1]);
    EXPECT_EQ(program->app().settings.headfootFormat[1], "");

    subFolder->click();
    EXPECT_TRUE(program->app().settings.subFolder);
    EXPECT_EQ(readFile(iniPath()).find("subFolder=True"), std::string::npos) << "saved only at exit";

    window.close(); // the title-bar close box
    EXPECT_EQ(endProcessCalls, 1);
    EXPECT_FALSE(window.isVisible());
    const std::vector<std::string> saved = linesOf(readFile(iniPath()));
    for (const char* line : {"OWConfirm=False", "CRLF=True", "subFolder=True", "use0=True", "format0=<%P>",
                             "use1=False", "format1="})
        EXPECT_NE(std::find(saved.begin(), saved.end(), line), saved.end()) << line;

    // Shutdown can run again (the real one never returns) with the same result.
    program->exit();
    EXPECT_EQ(endProcessCalls, 2);
    EXPECT_EQ(linesOf(readFile(iniPath())), saved);
}

TEST_F(GuiMainWindow, FirstStartUsesDefaultsAndExitMenuWritesAllKeys)
{
    ASSERT_TRUE(program->start());
    EXPECT_TRUE(child<QCheckBox>(program->mainForm(), "chkSubFolder")->isChecked());
    child<QAction>(program->mainForm(), "mnFileExit")->trigger();
    EXPECT_EQ(endProcessCalls, 1);
    EXPECT_FALSE(program->mainForm().isVisible());
    EXPECT_EQ(linesOf(readFile(iniPath())),
              (std::vector<std::string>{"[envs]", "OWConfirm=True", "CRLF=True", "subFolder=True", "[headfoot]",
                                        "use0=True", "format0=---%P/%A---", "use1=False", "format1=---%P/%A---",
                                        "[extended]", "extended=False", "encoding=Shift_JIS"}));
}

TEST_F(GuiMainWindow, MissingCidTableEndsTheProgramBeforeTheWindowShows)
{
    QFile::remove(programFolder() + QStringLiteral("/AdobeCID.dat"));
    EXPECT_FALSE(program->start());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].icon, Icon::Critical);
    EXPECT_EQ(endProcessCalls, 1);
    EXPECT_FALSE(program->mainForm().isVisible());
}

TEST_F(GuiMainWindow, FileDialogAndFolderBrowserFillThePathUnlessCancelled)
{
    ASSERT_TRUE(program->start());
    uiForm& window = program->mainForm();
    std::vector<std::string> titles;
    std::string fileAnswer = "/pdfs/a.pdf";
    window.getOpenFileName = [&](const std::string& title, const std::string&) {
        titles.push_back(title);
        return fileAnswer;
    };
    child<QPushButton>(window, "Command1")->click();
    EXPECT_EQ(path()->text(), QStringLiteral("/pdfs/a.pdf"));
    fileAnswer.clear(); // cancelled
    child<QAction>(window, "mnFileSelectFile")->trigger();
    EXPECT_EQ(path()->text(), QStringLiteral("/pdfs/a.pdf"));
    EXPECT_EQ(titles, (std::vector<std::string>{"PDFファイルを選択して下さい", "PDFファイルを選択して下さい"}));

    std::vector<std::string> starts;
    std::string folderAnswer = "/data/pdfs";
    window.browseFolder = [&](const std::string& start) {
        starts.push_back(start);
        return folderAnswer;
    };
    child<QPushButton>(window, "Command3")->click();
    EXPECT_EQ(path()->text(), QStringLiteral("/data/pdfs"));
    folderAnswer.clear();
    child<QAction>(window, "mnFileFolderSelect")->trigger();
    child<QAction>(window, "mnFileFolderSelect")->trigger();
    EXPECT_EQ(path()->text(), QStringLiteral("/data/pdfs"));
    // The program's folder first, then the folder last picked; a cancel keeps it.
    EXPECT_EQ(starts, (std::vector<std::string>{programFolder().toStdString(), "/data/pdfs", "/data/pdfs"}));
}

TEST(GuiFileDialogFilter, ShowsTheDescriptionAndMatchesPdfInAnyLetterCase)
{
    const QString filter = dialogNameFilter("PDFファイル(*.PDF)|*.pdf");
    // The dialog shows what precedes the last parenthesised pattern list.
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(.*)\\(([^()]*)\\)$")).match(filter);
    ASSERT_TRUE(m.hasMatch()) << filter.toStdString();
    EXPECT_EQ(m.captured(1).trimmed(), QStringLiteral("PDFファイル(*.PDF)"));
    const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression(m.captured(2)));
    for (const char* name : {"a.pdf", "B.PDF", "c.Pdf"})
        EXPECT_TRUE(pattern.match(QString::fromLatin1(name)).hasMatch()) << name;
    for (const char* name : {"a.pdf.txt", "pdf", "a.pd"})
        EXPECT_FALSE(pattern.match(QString::fromLatin1(name)).hasMatch()) << name;
}

TEST_F(GuiMainWindow, DropPutsTheFirstLocalPathInThePathBox)
{
    ASSERT_TRUE(program->start());
    dropUrls({QUrl::fromLocalFile(QStringLiteral("/a/one.pdf")), QUrl::fromLocalFile(QStringLiteral("/a/two.pdf")),
              QUrl::fromLocalFile(QStringLiteral("/a/three.pdf"))});
    EXPECT_EQ(path()->text(), QStringLiteral("/a/one.pdf"));

    dropUrls({QUrl::fromLocalFile(programFolder())});
    EXPECT_EQ(path()->text(), programFolder()) << "a folder is taken as it is";

    // Nothing that names a local file: the path box keeps its text.
    auto* text = new QMimeData;
    text->setText(QStringLiteral("/not/a/drop"));
    drop(text);
    dropUrls({QUrl(QStringLiteral("https://scrivlet.example.org/a.pdf"))});
    EXPECT_EQ(path()->text(), programFolder());
    EXPECT_TRUE(boxes.shown().empty()) << "a drop starts no conversion";
}

TEST_F(GuiMainWindow, ExecuteNeedsAPathAndTakesItUntrimmed)
{
    ASSERT_TRUE(program->start());
    QPushButton* execute = child<QPushButton>(program->mainForm(), "Command2");
    execute->click();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "フォルダまたはファイルを指定して下さい");
    EXPECT_EQ(boxes.shown()[0].icon, Icon::Exclamation);
    EXPECT_TRUE(execute->isEnabled());
    EXPECT_FALSE(program->progress().isVisible());

    const QString typed = programFolder() + QStringLiteral("/missing.pdf ");
    path()->setText(typed);
    execute->click();
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].text, "指定されたファイル/フォルダは存在しません\r" + typed.toStdString());
    EXPECT_TRUE(execute->isEnabled());
}

TEST_F(GuiMainWindow, LogTextGoesInAtTheEndKeepingTheSelection)
{
    uiForm& window = program->mainForm();
    QPlainTextEdit* log = child<QPlainTextEdit>(window, "tbResult");
    EXPECT_FALSE(log->isReadOnly());
    EXPECT_TRUE(log->tabChangesFocus()) << "Tab moves on";
    window.insert("/a.pdf");
    window.insert("...done(0.001秒)\r\n");
    window.insert("/b.pdf");
    EXPECT_EQ(log->toPlainText(), QStringLiteral("/a.pdf...done(0.001秒)\n/b.pdf"));

    // A click into the log mid-run: the next messages still go to the end.
    QTextCursor cursor = log->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(2, QTextCursor::KeepAnchor); // selects "a"
    log->setTextCursor(cursor);
    window.insert("...done(0.002秒)\r");
    EXPECT_EQ(log->textCursor().selectedText(), QStringLiteral("a")) << "the selection stays";
    cursor.setPosition(0);
    log->setTextCursor(cursor);
    window.insert("/c.pdf");
    EXPECT_EQ(log->toPlainText(), QStringLiteral("/a.pdf...done(0.001秒)\n/b.pdf...done(0.002秒)\n/c.pdf"));
    EXPECT_EQ(log->textCursor().position(), log->toPlainText().size()) << "without a selection the caret follows";

    window.clear();
    window.insert("c");
    EXPECT_EQ(log->toPlainText(), QStringLiteral("c"));
}

} // namespace
