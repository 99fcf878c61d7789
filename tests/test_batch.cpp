// The batch run over a file or a folder tree, and the settings file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/p2tStreamModule.h"
#include "platform/places.h"
#include "tests/support/appHarness.h"
#include "tests/support/pdfWriter.h"

namespace {

const std::string kPdf = simplePdf({showText("text")});

class FakeWindows : public ProgramWindows {
public:
    void initMainFormValues() override { calls += "initMain "; }
    void initOptionFormValues() override { calls += "initOption "; }
    void showMainWindow() override { calls += "show "; }
    void unloadWindows() override { calls += "unload "; }
    void endProcess() override { calls += "end "; }
    std::string calls;
};

} // namespace

TEST(BatchTest, FilesOfAFolderBeforeItsSubfoldersEachInNameOrder)
{
    AppHarness h;
    h.work.write("c.pdf", kPdf);
    h.work.write("a.PDF", kPdf);
    h.work.write("b.txt", "not a pdf");
    h.work.write("sub2/e.pdf", kPdf);
    h.work.write("sub1/d.Pdf", kPdf);
    h.work.write("sub1/deeper/f.pdf", kPdf);
    ASSERT_TRUE(runConversion(h.app, h.work.path()));
    const std::string& w = h.work.path();
    EXPECT_EQ(h.app.run.targetFiles, (std::vector<std::string>{w + "/a.PDF", w + "/c.pdf", w + "/sub1/d.Pdf",
                                                           w + "/sub1/deeper/f.pdf", w + "/sub2/e.pdf"}));
    EXPECT_EQ(h.notice.folders, (std::vector<std::string>{w + "/", w + "/sub1/", w + "/sub1/deeper/", w + "/sub2/"}));
    EXPECT_EQ(h.notice.count, "5");
    EXPECT_FALSE(h.notice.visible);

    h.app.settings.subFolder = false;
    ASSERT_TRUE(runConversion(h.app, h.work.path() + "/"));
    EXPECT_EQ(h.app.run.targetFiles, (std::vector<std::string>{w + "/a.PDF", w + "/c.pdf"}))
        << "a trailing separator names the same folder";
    const std::string ask = "以下のファイルは既に存在します。上書きしますか？\r";
    EXPECT_EQ(h.boxTexts(), (std::vector<std::string>{"処理が終了しました", ask + w + "/a.txt", ask + w + "/c.txt",
                                                      "処理が終了しました"}))
        << "the second run asks about the text files of the first";
}

TEST(BatchTest, LogLinesAndSummary)
{
    AppHarness h;
    h.work.write("a.pdf", kPdf);
    h.work.write("b.pdf", kPdf);
    h.work.write("b.txt", "exists");
    h.progress.onChildValue = [&](int32_t) { h.clock += 1002; }; // 2,005 ms for a.pdf's two page steps
    h.clock = 5000;
    ASSERT_TRUE(runConversion(h.app, h.work.path()));
    const std::string& w = h.work.path();
    // a.pdf: three progress steps of the engine count (0 before the tick, then 1 and 2).
    EXPECT_EQ(h.log.text(), w + "/a.pdf...done(2.004秒)\r\n" + w + "/b.pdf...出力ファイルが開けません\r\n");
    EXPECT_EQ(h.boxTexts().back(), "処理が終了しました");
    EXPECT_EQ(h.boxes.shown().back().icon, MessageBoxes::Icon::Information);
    EXPECT_FALSE(h.progress.visible);
    EXPECT_EQ(h.progress.parentPercents.back(), 100);
    EXPECT_EQ(h.app.run.filesConverted, 1);
    EXPECT_EQ(h.app.run.filesFailed, 1);
}

TEST(BatchTest, ElapsedTimeText)
{
    EXPECT_EQ(doneMessage(1234), "...done(1.234秒)\r\n");
    EXPECT_EQ(doneMessage(45), "...done(0.045秒)\r\n");
    EXPECT_EQ(doneMessage(12000), "...done(12.000秒)\r\n");
    EXPECT_EQ(doneMessage(0x00000010u - 0xFFFFFF00u), "...done(0.272秒)\r\n") << "the tick count wrapped";
}

TEST(BatchTest, SingleFilesAndBadPaths)
{
    AppHarness h;
    std::string file = h.work.write("report.PDF", kPdf);
    h.work.write("report.pdf.bak", kPdf);
    h.work.write("old.pdf/inner.pdf", kPdf);
    h.log.insert("previous run\r\n");

    EXPECT_FALSE(runConversion(h.app, h.work.file("missing.pdf")));
    EXPECT_FALSE(runConversion(h.app, h.work.file("report.pdf.bak")));
    EXPECT_EQ(h.boxTexts(), (std::vector<std::string>{
                                "指定されたファイル/フォルダは存在しません\r" + h.work.file("missing.pdf"),
                                "指定されたファイルはPDFファイルではありません\r" + h.work.file("report.pdf.bak"),
                            }));
    EXPECT_EQ(h.boxes.shown()[0].icon, MessageBoxes::Icon::Critical);
    EXPECT_EQ(h.log.text(), "previous run\r\n") << "the log is untouched";

    EXPECT_TRUE(runConversion(h.app, file));
    EXPECT_EQ(h.log.text(), file + "...done(0.000秒)\r\n");

    EXPECT_TRUE(runConversion(h.app, h.work.file("old.pdf")));
    EXPECT_EQ(h.app.run.targetFiles, std::vector<std::string>{h.work.file("old.pdf/inner.pdf")})
        << "a folder named like a PDF is searched";
    EXPECT_EQ(h.boxTexts().size(), 4u);
    EXPECT_EQ(h.boxTexts().back(), "処理が終了しました") << "after each of the last two runs";
}

TEST(BatchTest, EmptyFolderEndsWithTheSummary)
{
    AppHarness h;
    h.log.insert("old");
    EXPECT_TRUE(runConversion(h.app, h.work.path()));
    EXPECT_EQ(h.log.text(), "");
    EXPECT_EQ(h.progress.shows, 1);
    EXPECT_FALSE(h.progress.visible);
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>{"処理が終了しました"});
}

TEST(BatchTest, CancelDuringTheThirdOfFiveFiles)
{
    AppHarness h;
    for (char c = 'a'; c <= 'e'; ++c)
        h.work.write(std::string(1, c) + ".pdf", kPdf);
    int files = -1; // clearForm sets the child value to 0 once before the first file
    h.progress.onChildValue = [&](int32_t v) {
        if (v == 0)
            ++files;
        if (files == 3 && v == 2)
            h.progress.setCancelButtonPushed(true);
    };
    EXPECT_TRUE(runConversion(h.app, h.work.path()));
    std::string log = h.log.text();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
    EXPECT_NE(log.find("/c.pdf...中断\r\n"), std::string::npos);
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>{"中断ボタンが押されました"});
    EXPECT_FALSE(h.progress.visible);
    EXPECT_TRUE(h.app.run.runCancelled);
}

TEST(BatchTest, CancelAfterTheLastFileShowsNoBoxAtAll)
{
    AppHarness h;
    std::string file = h.work.write("a.pdf", kPdf);
    int pumps = 0;
    h.pump.onPump = [&] {
        // The pumps of a one-file run: clearForm, after showing, the
        // conversion's start (two), its two page steps, and last after the file.
        if (++pumps == 7)
            h.progress.setCancelButtonPushed(true);
    };
    EXPECT_TRUE(runConversion(h.app, file));
    EXPECT_NE(h.log.text().find("...done("), std::string::npos);
    EXPECT_TRUE(h.boxTexts().empty());
}

TEST(BatchTest, CancelDuringTheSearchKeepsThePreviousLog)
{
    AppHarness h;
    for (int i = 0; i < 50; ++i)
        h.work.write(numberedName("f", i, ".pdf"), kPdf);
    h.log.insert("previous");
    h.pump.onPump = [&] {
        if (h.notice.visible && h.notice.count == "10")
            h.notice.setNoticeCancelPushed(true);
    };
    EXPECT_FALSE(runConversion(h.app, h.work.path()));
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>{"中断されました"});
    EXPECT_EQ(h.boxes.shown()[0].icon, MessageBoxes::Icon::Exclamation);
    EXPECT_EQ(h.log.text(), "previous");
    EXPECT_EQ(h.app.run.targetCount, 10);
}

TEST(BatchTest, PlusMarksCarryOverFromSearchToSearch)
{
    AppHarness h;
    for (int i = 0; i < 100; ++i)
        h.work.write(numberedName("f", i, ".txt"), "");
    h.notice.caption_ = "フォルダ内検索中…";
    runConversion(h.app, h.work.path());
    EXPECT_EQ(h.notice.caption_, "フォルダ内検索中…+++++");
    runConversion(h.app, h.work.path());
    EXPECT_EQ(h.notice.caption_, "フォルダ内検索中…++++++++++");
    runConversion(h.app, h.work.path()); // the 300th entry starts again with one "+"
    EXPECT_EQ(h.notice.caption_, "フォルダ内検索中…+");
    EXPECT_EQ(h.app.searchTick, 0);
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>(3, "処理が終了しました"));
}

TEST(BatchTest, TheSubfolderSettingIsReadAnewInEveryFolder)
{
    AppHarness h;
    h.work.write("a/x.pdf", kPdf);
    h.work.write("a/inner/z.pdf", kPdf);
    h.work.write("b/y.pdf", kPdf);
    h.pump.onPump = [&] {
        if (!h.notice.folders.empty() && h.notice.folders.back() == h.work.path() + "/a/")
            h.app.settings.subFolder = false; // the check box cleared on entering a/
    };
    runConversion(h.app, h.work.path());
    // The top folder had already decided to search its subfolders; a/ decides anew.
    EXPECT_EQ(h.app.run.targetFiles, (std::vector<std::string>{h.work.file("a/x.pdf"), h.work.file("b/y.pdf")}));
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>{"処理が終了しました"});
}

TEST(BatchTest, LinkLoopsAreSearchedOnceAndUnreadableFoldersEndTheSearch)
{
    AppHarness h;
    h.work.write("a/x.pdf", kPdf);
    ASSERT_EQ(symlink("..", h.work.file("a/up").c_str()), 0);
    ASSERT_EQ(symlink(h.work.file("a").c_str(), h.work.file("link-to-a").c_str()), 0);
    EXPECT_TRUE(runConversion(h.app, h.work.path()));
    EXPECT_EQ(h.app.run.targetFiles, std::vector<std::string>{h.work.file("a/x.pdf")});
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>{"処理が終了しました"});

    if (geteuid() != 0) {
        AppHarness u;
        u.work.write("a/locked/z.pdf", kPdf);
        u.work.write("b/y.pdf", kPdf);
        u.work.write("first.pdf", kPdf);
        chmod(u.work.file("a/locked").c_str(), 0);
        runConversion(u.app, u.work.path());
        EXPECT_EQ(u.app.run.targetFiles, std::vector<std::string>{u.work.file("first.pdf")});
        EXPECT_EQ(u.boxTexts(), std::vector<std::string>{"処理が終了しました"});
        chmod(u.work.file("a/locked").c_str(), 0755);
    }
}

TEST(SettingsTest, DefaultsWithoutAnIniFileAndTheSevenKeysAtExit)
{
    AppHarness h;
    FakeWindows windows;
    h.app.cidTable = CidTable{};
    std::filesystem::copy_file(platform::programFolder() + "/AdobeCID.dat", h.programDir.file("AdobeCID.dat"));
    ASSERT_TRUE(programStart(h.app, windows));
    EXPECT_EQ(windows.calls, "initMain initOption show ");
    EXPECT_TRUE(h.app.settings.OWConfirm);
    EXPECT_TRUE(h.app.settings.CRLF);
    EXPECT_TRUE(h.app.settings.headfootUse[0]);
    EXPECT_FALSE(h.app.settings.headfootUse[1]);
    EXPECT_EQ(h.app.settings.headfootFormat[1], "---%P/%A---");
    EXPECT_EQ(p2tCID2Str(h.app.cidTable, 34), "A");

    programExit(h.app, windows);
    programExit(h.app, windows); // safe to run twice
    EXPECT_EQ(readFile(h.programDir.file("Scrivlet.ini")),
              "[envs]\r\nOWConfirm=True\r\nCRLF=True\r\nsubFolder=True\r\n[headfoot]\r\nuse0=True\r\n"
              "format0=---%P/%A---\r\nuse1=False\r\nformat1=---%P/%A---\r\n"
              "[extended]\r\nextended=False\r\nencoding=Shift_JIS\r\n");
    EXPECT_EQ(windows.calls, "initMain initOption show unload end unload end ");
}

TEST(SettingsTest, AnInstalledProgramReadsItsDataThereAndKeepsSettingsInTheUsersFolder)
{
    TempDir root;
    ScopedEnv xdg("XDG_CONFIG_HOME", root.file("config"));
    const std::string bin = root.file("bin"), data = bin + "/" + platform::kDataFromProgramFolder;
    std::filesystem::create_directories(data);
    std::filesystem::copy_file(platform::programFolder() + "/AdobeCID.dat", data + "/AdobeCID.dat");
    AppHarness h;
    FakeWindows windows;
    h.app.programFolder = bin;
    h.app.cidTable = CidTable{};
    ASSERT_TRUE(programStart(h.app, windows));
    EXPECT_EQ(p2tCID2Str(h.app.cidTable, 34), "A");
    h.app.settings.CRLF = false;
    programExit(h.app, windows);
    EXPECT_FALSE(std::filesystem::exists(bin + "/Scrivlet.ini"));

    AppHarness again;
    again.app.programFolder = bin;
    loadSettings(again.app);
    EXPECT_FALSE(again.app.settings.CRLF) << readFile(root.file("config/Scrivlet/Scrivlet.ini"));
}

TEST(SettingsTest, OnceTheFileExistsMissingKeysAreFalseOrEmpty)
{
    AppHarness h;
    h.programDir.write("Scrivlet.ini", "[envs]\r\nOWConfirm=true\r\nCRLF=True\r\nsubFolder=True\r\n");
    loadSettings(h.app);
    EXPECT_FALSE(h.app.settings.OWConfirm) << "letter case matters";
    EXPECT_TRUE(h.app.settings.CRLF);
    EXPECT_FALSE(h.app.settings.headfootUse[0]);
    EXPECT_FALSE(h.app.settings.headfootUse[1]);
    EXPECT_EQ(h.app.settings.headfootFormat[0], "");
    EXPECT_EQ(h.app.settings.headfootFormat[1], "");
    EXPECT_FALSE(h.app.settings.extended) << "the newer keys: missing means the default";
    EXPECT_EQ(h.app.settings.encoding, TextEncoding::Cp932);

    h.programDir.write("Scrivlet.ini", "[extended]\r\nextended=yes\r\nencoding=utf8\r\n");
    h.app.settings.extended = true;
    loadSettings(h.app);
    EXPECT_FALSE(h.app.settings.extended) << "an unreadable value means the default";
    EXPECT_EQ(h.app.settings.encoding, TextEncoding::Cp932);

    h.programDir.write("Scrivlet.ini", "[headfoot]\r\nformat0=" + std::string(300, 'x') + "\r\n");
    loadSettings(h.app);
    EXPECT_EQ(h.app.settings.headfootFormat[0], std::string(255, 'x'));
}

TEST(SettingsTest, ChangedSettingsAreSavedAndOtherLinesKept)
{
    AppHarness h;
    h.programDir.write("Scrivlet.ini", "; mine\r\n[envs]\r\nCRLF=True\r\n[extra]\r\nkeep=1\r\n");
    loadSettings(h.app);
    h.app.settings.CRLF = false;
    h.app.settings.headfootFormat[0] = "頁 %P";
    h.app.settings.extended = true;
    h.app.settings.encoding = TextEncoding::Utf8;
    saveSettings(h.app);
    std::string ini = readFile(h.programDir.file("Scrivlet.ini"));
    EXPECT_EQ(ini.substr(0, 8), "; mine\r\n");
    EXPECT_NE(ini.find("CRLF=False\r\n"), std::string::npos);
    EXPECT_NE(ini.find("[extra]\r\nkeep=1\r\n"), std::string::npos);
    Settings reloaded;
    AppHarness again;
    std::filesystem::copy_file(h.programDir.file("Scrivlet.ini"), again.programDir.file("Scrivlet.ini"));
    loadSettings(again.app);
    EXPECT_EQ(again.app.settings.headfootFormat[0], "頁 %P");
    EXPECT_FALSE(again.app.settings.CRLF);
    EXPECT_TRUE(again.app.settings.extended);
    EXPECT_EQ(again.app.settings.encoding, TextEncoding::Utf8);
}

TEST(SettingsTest, MissingCidTableEndsTheStart)
{
    AppHarness h;
    FakeWindows windows;
    EXPECT_FALSE(programStart(h.app, windows));
    EXPECT_EQ(windows.calls, "initMain initOption end ");
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>{"AdobeCID.datの読み込みでエラーが発生しました"});
}

TEST(ProgressArithmeticTest, WorkedExamples)
{
    EXPECT_EQ(calcPercent(5, 0), 0);
    EXPECT_EQ(calcPercent(1, 8), 12) << "12.5 rounds to even";
    EXPECT_EQ(calcPercent(7, 8), 88) << "87.5 rounds to even";
    EXPECT_EQ(calcPercent(27, 200), 14) << "13.5";
    EXPECT_EQ(calcPercent(7, 5), 100);
    EXPECT_EQ(calcPercent(-1, 5), 0);
    EXPECT_EQ(overallPercent(1, 3, 50), 49);
    EXPECT_EQ(overallPercent(7, 8, 100), 100);
    EXPECT_EQ(overallPercent(5, 200, 100), calcPercent(5, 200)) << "one file of 200 is worth nothing";
    EXPECT_EQ(calcPercent(1, 2), 50) << "a one-page file starts at 50%";
}

TEST(ProgressArithmeticTest, ClearFormAndChildValues)
{
    FakePump pump;
    FakeProgress p(pump);
    p.setParentMax(3);
    p.setParentValue(1);
    p.setChildMax(3);
    p.setChildValue(2);
    EXPECT_EQ(p.childPercents.back(), 67);
    EXPECT_EQ(p.parentPercents.back(), 33 + 22);
    p.setCancelButtonPushed(true);
    p.clearForm();
    EXPECT_EQ(p.parentPercents.back(), 0);
    EXPECT_EQ(p.childPercents.back(), 0);
    EXPECT_EQ(p.fileName, "");
    EXPECT_EQ(p.parentValue(), 0);
    EXPECT_TRUE(p.cancelButtonPushed()) << "clearForm leaves the flag";
}
