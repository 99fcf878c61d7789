// Several engines at once give exactly what one engine gives: the same log in
// the same order, the same text files, the same questions.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/appHarness.h"
#include "tests/support/pdfWriter.h"

namespace {

struct RunRecord {
    std::string log;
    std::vector<std::string> questions;
    std::string transcript; // the log with the boxes where they came
    std::map<std::string, std::string> texts;
    int converted, failed;
};

// A folder whose files meet every path of the loop: good files, broken ones,
// two PDFs that share one text file, and text files that already exist.
void fillFolder(const TempDir& work)
{
    for (int i = 0; i < 12; ++i)
        work.write("f" + std::to_string(i) + ".pdf",
                   simplePdf({showText("file " + std::to_string(i)), showText("second page")}, i % 2 == 0));
    work.write("broken.pdf", "%PDF-1.4 nothing else");
    work.write("same.PDF", simplePdf({showText("upper")}));
    work.write("same.pdf", simplePdf({showText("lower")}));
    work.write("f3.txt", "keep me");
    work.write("f5.txt", "replace me");
    work.write("sub/g.pdf", simplePdf({showText("in a subfolder")}));
}

RunRecord runWith(int jobs)
{
    AppHarness h;
    fillFolder(h.work);
    // Questions come for f3.txt, f5.txt and same.txt, in that order.
    h.boxes.answers = {false, true, true};
    h.app.jobs = jobs;
    h.boxes.watched = &h.log;
    EXPECT_TRUE(runConversion(h.app, h.work.path()));
    auto plain = [&](const std::string& text) {
        std::string s = std::regex_replace(text, std::regex(R"(done\([0-9.]+秒\))"), "done");
        return std::regex_replace(s, std::regex(h.work.path()), "DIR");
    };
    RunRecord r;
    r.log = plain(h.log.text());
    // Questions and messages where they came in the log, as a terminal shows them.
    size_t at = 0;
    for (const auto& b : h.boxes.shown()) {
        r.questions.push_back(plain(b.text));
        r.transcript += plain(h.log.text().substr(at, b.logLength - at)) + "[" + plain(b.text) + "]";
        at = b.logLength;
    }
    r.transcript += plain(h.log.text().substr(at));
    for (auto& e : std::filesystem::recursive_directory_iterator(h.work.path()))
        if (e.path().extension() == ".txt")
            r.texts[e.path().filename().string()] = readFile(e.path().string());
    r.converted = h.app.run.filesConverted;
    r.failed = h.app.run.filesFailed;
    return r;
}

} // namespace

TEST(ParallelRunTest, SameLogTextsAndQuestionsAsOneAtATime)
{
    RunRecord one = runWith(1);
    EXPECT_EQ(one.questions.size(), 4u) << "three questions and the summary";
    EXPECT_NE(one.log.find("DIR/broken.pdf...ファイル破損\r\n"), std::string::npos);
    EXPECT_NE(one.log.find("DIR/f3.pdf...出力ファイルが開けません\r\n"), std::string::npos);
    EXPECT_EQ(one.texts["f3.txt"], "keep me");
    EXPECT_NE(one.texts["same.txt"].find("lower"), std::string::npos) << "the second file replaced the first";
    for (int jobs : {2, 4, 8}) {
        RunRecord many = runWith(jobs);
        EXPECT_EQ(many.log, one.log) << jobs;
        EXPECT_EQ(many.questions, one.questions) << jobs;
        EXPECT_EQ(many.transcript, one.transcript) << jobs;
        EXPECT_EQ(many.texts, one.texts) << jobs;
        EXPECT_EQ(many.converted, one.converted);
        EXPECT_EQ(many.failed, one.failed);
    }
}

TEST(ParallelRunTest, CancelStopsStartingFilesAndReportsOnce)
{
    AppHarness h;
    for (int i = 0; i < 40; ++i)
        h.work.write(numberedName("f", i, ".pdf"), simplePdf(std::vector<std::string>(200, showText("x"))));
    h.app.jobs = 3;
    int pumps = 0;
    h.pump.onPump = [&] {
        if (h.progress.visible && ++pumps == 3) // during the conversions
            h.progress.setCancelButtonPushed(true);
    };
    EXPECT_TRUE(runConversion(h.app, h.work.path()));
    EXPECT_TRUE(h.app.run.runCancelled);
    int lines = static_cast<int>(std::count(h.log.text().begin(), h.log.text().end(), '\n'));
    EXPECT_LT(lines, 40);
    EXPECT_NE(h.log.text().find("...中断\r\n"), std::string::npos);
    ASSERT_EQ(h.boxes.shown().size(), 1u);
    EXPECT_EQ(h.boxes.shown()[0].text, "中断ボタンが押されました");
}
