// Batch runs started from the main window: what the log, the progress window,
// the notice window and the boxes show, and how a run is cancelled or cut
// short by closing the program.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>

#include "tests/gui/guiTestSupport.h"

namespace {

using Icon = MessageBoxes::Icon;

class GuiRun : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        ASSERT_TRUE(program->start());
    }

    // Starts a run of `target` with the Execute button; returns when it ends.
    void execute(const QString& target)
    {
        child<QLineEdit>(program->mainForm(), "tbFileName")->setText(target);
        child<QPushButton>(program->mainForm(), "Command2")->click();
    }

    void addPdf(const QString& folder, const char* name) { writeFile(folder + "/" + name, minimalPdf(name)); }

    static bool isDone(const std::string& line, const QString& pdf)
    {
        const QString done = QRegularExpression::escape(pdf) + QStringLiteral("\\.\\.\\.done\\(\\d+\\.\\d{3}秒\\)");
        return QRegularExpression(QRegularExpression::anchoredPattern(done)).match(QString::fromStdString(line)).hasMatch();
    }

    bool boxShown(const std::string& text)
    {
        const auto texts = boxes.texts();
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
};

TEST_F(GuiRun, FolderRunLogsEachPdfAndFollowsTheSubfolderBox)
{
    const QString dir = makeFolder(QStringLiteral("pdfs"));
    addPdf(dir, "a.pdf");
    addPdf(dir, "b.PDF");
    writeFile(dir + "/notes.txt", "not a pdf");
    makeFolder(QStringLiteral("pdfs/sub"));
    addPdf(dir + "/sub", "c.pdf");

    bool progressSeen = false, executeDisabled = true;
    pump.hook = [&] {
        progressSeen = progressSeen || program->progress().isVisible();
        executeDisabled = executeDisabled && !child<QPushButton>(program->mainForm(), "Command2")->isEnabled();
    };
    execute(dir);

    const std::vector<std::string> log = linesOf(logText());
    ASSERT_EQ(log.size(), 3u) << logText();
    EXPECT_TRUE(isDone(log[0], dir + "/a.pdf")) << log[0];
    EXPECT_TRUE(isDone(log[1], dir + "/b.PDF")) << log[1];
    EXPECT_TRUE(isDone(log[2], dir + "/sub/c.pdf")) << log[2];
    EXPECT_NE(readFile(dir + "/sub/c.txt").find("c.pdf"), std::string::npos);
    EXPECT_TRUE(QFileInfo::exists(dir + "/b.txt"));

    EXPECT_TRUE(progressSeen);
    EXPECT_TRUE(executeDisabled) << "Execute stays disabled while the run lets events through";
    EXPECT_FALSE(program->progress().isVisible());
    EXPECT_TRUE(child<QPushButton>(program->mainForm(), "Command2")->isEnabled());
    EXPECT_EQ(child<QProgressBar>(program->progress(), "pbar1")->value(), 100);
    EXPECT_EQ(child<QLabel>(program->progress(), "ppercent1")->text(), QStringLiteral("100%"));
    ASSERT_FALSE(boxes.shown().empty());
    EXPECT_EQ(boxes.shown().back().text, "処理が終了しました");

    // Without subfolders, and the text files now exist: each is overwritten
    // after the question.
    child<QCheckBox>(program->mainForm(), "chkSubFolder")->click();
    EXPECT_FALSE(program->app().settings.subFolder);
    boxes.clear();
    execute(dir);
    const std::vector<std::string> second = linesOf(logText());
    ASSERT_EQ(second.size(), 2u) << logText();
    EXPECT_TRUE(isDone(second[1], dir + "/b.PDF")) << second[1];
    ASSERT_EQ(boxes.shown().size(), 3u);
    EXPECT_EQ(boxes.shown()[0].text, "以下のファイルは既に存在します。上書きしますか？\r" + dir.toStdString() + "/a.txt");
}

TEST_F(GuiRun, CancelButtonStopsTheRunAfterTheCurrentPage)
{
    const QString dir = makeFolder(QStringLiteral("pdfs"));
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
        addPdf(dir, name);
    bool clicked = false;
    pump.hook = [&] {
        if (!clicked && logText().find("...done") != std::string::npos) {
            child<QPushButton>(program->progress(), "Command1")->click();
            clicked = true;
        }
    };
    execute(dir);

    ASSERT_TRUE(clicked);
    const std::vector<std::string> log = linesOf(logText());
    ASSERT_EQ(log.size(), 2u) << logText();
    EXPECT_TRUE(isDone(log[0], dir + "/a.pdf"));
    EXPECT_EQ(log[1], (dir + "/b.pdf...中断").toStdString());
    EXPECT_TRUE(boxShown("中断ボタンが押されました"));
    EXPECT_FALSE(boxShown("処理が終了しました"));
    EXPECT_FALSE(QFileInfo::exists(dir + "/c.txt"));
    EXPECT_FALSE(program->progress().isVisible());
    EXPECT_TRUE(child<QPushButton>(program->mainForm(), "Command2")->isEnabled());
}

TEST_F(GuiRun, NoticeWindowFollowsTheSearchAndItsButtonCancels)
{
    const QString dir = makeFolder(QStringLiteral("many"));
    for (int i = 0; i < 25; ++i)
        writeFile(dir + QStringLiteral("/note%1.txt").arg(i, 2, 10, QLatin1Char('0')), "x");
    addPdf(dir, "z.pdf");
    QStringList folders;
    pump.hook = [&] {
        if (program->notice().isVisible())
            folders << child<QLabel>(program->notice(), "lbFolderName")->text();
    };
    execute(dir);
    EXPECT_TRUE(folders.contains(dir + "/"));
    EXPECT_EQ(child<QLabel>(program->notice(), "lbPDFFileNum")->text(), QStringLiteral("1"));
    // One "+" per 20 file entries, kept after the search.
    EXPECT_EQ(program->notice().windowTitle(), QStringLiteral("フォルダ内検索中…+"));
    EXPECT_FALSE(program->notice().isVisible());

    // Cancelled during the next search: no conversion, the log is untouched.
    const std::string before = logText();
    boxes.clear();
    pump.hook = [&] {
        if (program->notice().isVisible())
            child<QPushButton>(program->notice(), "Command1")->click();
    };
    execute(dir);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "中断されました");
    EXPECT_EQ(boxes.shown()[0].icon, Icon::Exclamation);
    EXPECT_EQ(logText(), before);
    EXPECT_FALSE(program->notice().isVisible());
}

TEST_F(GuiRun, ClosingTheMainWindowDuringARunSavesTheSettings)
{
    const QString dir = makeFolder(QStringLiteral("pdfs"));
    addPdf(dir, "a.pdf");
    addPdf(dir, "b.pdf");
    bool closed = false;
    pump.hook = [&] {
        if (!closed && logText().find("...done") != std::string::npos) {
            child<QCheckBox>(program->mainForm(), "chkSubFolder")->click(); // changed mid-run
            program->mainForm().close();
            closed = true;
            EXPECT_EQ(endProcessCalls, 1);
            EXPECT_FALSE(program->progress().isVisible());
            const std::vector<std::string> ini = linesOf(readFile(iniPath()));
            EXPECT_NE(std::find(ini.begin(), ini.end(), "subFolder=False"), ini.end());
        }
    };
    execute(dir);
    EXPECT_TRUE(closed);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"処理が終了しました"})
        << "the test's endProcess returns, so the run ends as usual";
}

} // namespace
