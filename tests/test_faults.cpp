// Faults around the files of a run: each ends that one file (or that branch of
// the search) as it should, the run goes on, and no text file is emptied
// without consent.
#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/support/appHarness.h"
#include "tests/support/pdfWriter.h"

namespace {

const std::string kPdf = simplePdf({showText("text")});

class FailingFiles : public OutputFileSystem {
public:
    std::unique_ptr<OutputFile> create(const std::string&) override { return nullptr; }
};

} // namespace

TEST(FaultTest, APdfThatDisappearsAfterTheSearchFailsAloneAndTheRunGoesOn)
{
    AppHarness h;
    h.work.write("a.pdf", kPdf);
    h.work.write("b.pdf", kPdf);
    h.work.write("c.pdf", kPdf);
    bool removed = false;
    h.pump.onPump = [&] {
        if (!removed && h.progress.visible) { // the search is over
            std::filesystem::remove(h.work.file("b.pdf"));
            removed = true;
        }
    };
    EXPECT_TRUE(runConversion(h.app, h.work.path()));
    const std::string& w = h.work.path();
    EXPECT_EQ(h.log.text(), w + "/a.pdf...done(0.000秒)\r\n" + w + "/b.pdf...ファイル破損\r\n" + w
                                + "/c.pdf...done(0.000秒)\r\n");
    EXPECT_EQ(h.boxes.shown().back().text, "処理が終了しました");
}

TEST(FaultTest, AFolderThatCannotBeOpenedEndsTheSearchThere)
{
    AppHarness h;
    h.work.write("a/x.pdf", kPdf);
    h.work.write("b/y.pdf", kPdf);
    h.work.write("c/z.pdf", kPdf);
    h.work.write("top.pdf", kPdf);
    h.pump.onPump = [&] {
        if (!h.notice.folders.empty() && h.notice.folders.back() == h.work.path() + "/a/")
            std::filesystem::remove_all(h.work.file("b")); // gone before the search reaches it
    };
    EXPECT_TRUE(runConversion(h.app, h.work.path()));
    EXPECT_EQ(h.app.run.targetFiles, (std::vector<std::string>{h.work.file("top.pdf"), h.work.file("a/x.pdf")}))
        << "what was collected before is converted; c/ is not searched";
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>{"処理が終了しました"});
}

TEST(FaultTest, ATextFileThatCannotBeCreated)
{
    AppHarness h;
    FailingFiles failing;
    h.app.engine.outputFiles = &failing;
    std::string pdf = h.work.write("a.pdf", kPdf);
    EXPECT_TRUE(runConversion(h.app, pdf));
    EXPECT_EQ(h.log.text(), pdf + "...出力ファイルが開けません\r\n");
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>{"処理が終了しました"});
}

TEST(FaultTest, AFullDiskEndsTheFileAsNotClosed)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    AppHarness h;
    h.app.settings.OWConfirm = false;
    std::string pdf = h.work.write("a.pdf", kPdf);
    std::string pdf2 = h.work.write("b.pdf", kPdf);
    ASSERT_EQ(symlink("/dev/full", h.work.file("a.txt").c_str()), 0); // every write fails: no space
    EXPECT_TRUE(runConversion(h.app, h.work.path()));
    EXPECT_EQ(h.log.text(), pdf + "...出力ファイルがクローズできません\r\n" + pdf2 + "...done(0.000秒)\r\n");
    EXPECT_EQ(h.boxTexts(), std::vector<std::string>{"処理が終了しました"});
}

TEST(FaultTest, DeclinedOverwriteKeepsTheFileByteForByte)
{
    AppHarness h;
    std::string pdf = h.work.write("a.pdf", kPdf);
    std::string original = std::string("\x82\xa0 old \r\n\0 bytes", 15);
    h.work.write("a.txt", original);
    h.boxes.answers = {false};
    runConversion(h.app, pdf);
    EXPECT_EQ(readFile(h.work.file("a.txt")), original);
    EXPECT_EQ(h.boxTexts(), (std::vector<std::string>{
                                "以下のファイルは既に存在します。上書きしますか？\r" + h.work.file("a.txt"), "処理が終了しました"}));
}
