// The console tool as a user runs it: its log on stdout, its exit statuses,
// the overwrite question without a terminal, its settings, and Ctrl-C.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "app/uiMainModule.h"
#include "cli/consoleOptions.h"
#include "platform/system.h"
#include "tests/support/pdfWriter.h"
#include "tests/support/tempDir.h"

namespace {

// A PDF whose every page inflates to 8 MB of spaces before its text: a page
// takes milliseconds and the whole file seconds, so a conversion is still
// running when a test's signal comes, however fast the machine.
std::string slowPdf(const int pages = 1000)
{
    const std::string packed = deflateBytes(std::string(8 << 20, ' ') + "\n" + showText("page"));
    return simplePdfOfStreams(std::vector<std::string>(static_cast<size_t>(pages), packed), " /Filter /FlateDecode");
}

const std::string kPdf = simplePdf({showText("Hello")});

struct Outcome {
    int status;
    std::string out, err;
};

// A copy of the tool in a folder of its own, so that a test controls what lies
// beside it (Scrivlet.ini, AdobeCID.dat).
class CliTest : public ::testing::Test {
protected:
    TempDir programDir, work;
    std::string tool = programDir.file("scrivlet-cli");

    void SetUp() override
    {
        std::filesystem::copy_file(platform::programFolder() + "/scrivlet-cli", tool);
        std::filesystem::copy_file(platform::programFolder() + "/AdobeCID.dat", programDir.file("AdobeCID.dat"));
    }

    // With oneStream, stderr goes where stdout goes, as with "2>&1".
    pid_t start(const std::vector<std::string>& args, bool oneStream = false)
    {
        pid_t pid = fork();
        if (pid == 0) {
            int in = open("/dev/null", O_RDONLY);
            int out = open(work.file(".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
            int err = oneStream ? out : open(work.file(".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            exec(args);
        }
        return pid;
    }

    [[noreturn]] void exec(const std::vector<std::string>& args)
    {
        std::vector<char*> argv{tool.data()};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(tool.c_str(), argv.data());
        _exit(127);
    }

    // A folder of four PDF files; the third one's text file exists already.
    std::string folderWithOneTextFile(const std::string& name)
    {
        for (const char* pdf : {"a", "b", "c", "d"})
            work.write(name + "/" + pdf + ".pdf", kPdf);
        work.write(name + "/c.txt", "mine");
        return work.file(name);
    }

    Outcome finish(pid_t pid)
    {
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(work.file(".out")), readFile(work.file(".err"))};
    }

    Outcome run(const std::vector<std::string>& args) { return finish(start(args)); }

    // The tool on a terminal of its own (stdin, stdout and stderr), answering
    // "n" to every question; whileRunning is called once the tool has begun.
    // Returns the lines the terminal shows at the end, and the raw bytes.
    std::vector<std::string> onTerminal(const std::vector<std::string>& args, std::string& raw,
                                        const std::function<void(pid_t)>& whileRunning = {})
    {
        int master = -1;
        winsize size{24, 200, 0, 0};
        pid_t pid = forkpty(&master, nullptr, nullptr, &size);
        if (pid == 0)
            exec(args);
        if (whileRunning)
            whileRunning(pid);
        char buf[4096];
        for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) {
            raw.append(buf, static_cast<size_t>(n));
            if (raw.size() >= 6 && raw.compare(raw.size() - 6, 6, "[y/N] ") == 0)
                (void)!write(master, "n\n", 2);
        }
        close(master);
        waitpid(pid, nullptr, 0);
        // What the screen shows: a carriage return goes back to the line's
        // start, where "ESC [ K" erases the line and text writes over it.
        std::vector<std::string> lines{""};
        size_t column = 0;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw.compare(i, 3, "\033[K") == 0) {
                lines.back().resize(column);
                i += 2;
            } else if (raw[i] == '\r') {
                column = 0;
            } else if (raw[i] == '\n') {
                lines.emplace_back();
                column = 0;
            } else {
                lines.back().resize(column);
                lines.back() += raw[i];
                ++column;
            }
        }
        return lines;
    }
};

} // namespace

TEST_F(CliTest, ConvertsAFolderAndLogsOneLinePerFile)
{
    work.write("docs/a.pdf", kPdf);
    work.write("docs/sub/b.pdf", simplePdf({showText("B")}, true));
    Outcome r = run({work.file("docs")});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string a = work.file("docs") + "/a.pdf...done(";
    ASSERT_EQ(r.out.substr(0, a.size()), a);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "lines end in LF only";
    EXPECT_NE(r.out.find("/sub/b.pdf...done("), std::string::npos);
    EXPECT_NE(r.err.find("処理が終了しました"), std::string::npos);
    EXPECT_EQ(readFile(work.file("docs/a.txt")), "\r\n---1/1---\r\n \r\nHello\r\n");
}

TEST_F(CliTest, ExitStatuses)
{
    std::string good = work.write("good.pdf", kPdf);
    work.write("mixed/bad.pdf", "not a pdf");
    work.write("mixed/good.pdf", kPdf);
    std::string notPdf = work.write("notes.txt", "x");

    EXPECT_EQ(run({work.file("mixed")}).status, 1);
    Outcome missing = run({work.file("missing.pdf")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("指定されたファイル/フォルダは存在しません\n" + work.file("missing.pdf")),
              std::string::npos);
    EXPECT_EQ(run({notPdf}).status, 2);
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"--bogus", good}).status, 2);
    EXPECT_EQ(run({"--version"}).out, std::string("scrivlet-cli ") + kVersion + "\n");

    std::filesystem::remove(programDir.file("AdobeCID.dat"));
    Outcome noTable = run({good});
    EXPECT_EQ(noTable.status, 2);
    EXPECT_NE(noTable.err.find("AdobeCID.datの読み込みでエラーが発生しました"), std::string::npos);
}

TEST_F(CliTest, WithoutATerminalAnExistingTextFileIsKept)
{
    std::string pdf = work.write("a.pdf", kPdf);
    work.write("a.txt", "mine");
    Outcome r = run({pdf});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, pdf + "...出力ファイルが開けません\n");
    EXPECT_EQ(readFile(work.file("a.txt")), "mine");

    EXPECT_EQ(run({"--overwrite", pdf}).status, 0);
    EXPECT_EQ(readFile(work.file("a.txt")), "\r\n---1/1---\r\n \r\nHello\r\n");
}

TEST_F(CliTest, LogLinesAndMessagesKeepTheirOrderInOneStream)
{
    // The log is written in batches when it is not a terminal: a question or
    // message must still come after the log text written before it.
    for (std::string jobs : {"1", "3"}) {
        std::string folder = folderWithOneTextFile("docs" + jobs);
        Outcome r = finish(start({"--jobs", jobs, folder}, true));
        EXPECT_EQ(r.status, 1);
        std::vector<std::string> inOrder{folder + "/a.pdf...done(",
                                         folder + "/b.pdf...done(",
                                         folder + "/c.pdf以下のファイルは既に存在します。上書きしますか？\n" + folder + "/c.txt",
                                         "(not a terminal: answered No)\n...出力ファイルが開けません\n" + folder + "/d.pdf...done(",
                                         "処理が終了しました"};
        size_t at = 0;
        for (const std::string& piece : inOrder) {
            size_t found = r.out.find(piece, at);
            ASSERT_NE(found, std::string::npos) << "jobs " << jobs << ": " << piece << " in\n" << r.out;
            at = found + piece.size();
        }
    }
}

TEST_F(CliTest, SettingsFromTheIniFileThenTheOptions)
{
    programDir.write("Scrivlet.ini", "[envs]\r\nOWConfirm=True\r\nCRLF=False\r\nsubFolder=False\r\n"
                                     "[headfoot]\r\nuse0=True\r\nformat0=<%P>\r\nuse1=False\r\nformat1=\r\n");
    std::string before = readFile(programDir.file("Scrivlet.ini"));
    work.write("d/a.pdf", kPdf);
    work.write("d/sub/b.pdf", kPdf);
    Outcome r = run({work.file("d")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(work.file("d/a.txt")), "\r\n<1>\r\n Hello\r\n");
    EXPECT_FALSE(std::filesystem::exists(work.file("d/sub/b.txt")));
    EXPECT_EQ(readFile(programDir.file("Scrivlet.ini")), before) << "never written";

    r = run({"--overwrite", "--crlf", "--subfolders", "--no-header", "--footer", "[%N]", work.file("d")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(work.file("d/a.txt")), " \r\nHello\r\n\r\n[a.pdf]\r\n");
    EXPECT_TRUE(std::filesystem::exists(work.file("d/sub/b.txt")));
}

TEST_F(CliTest, CtrlCStopsAfterTheCurrentPage)
{
    std::string pdf = work.write("big.pdf", slowPdf());
    pid_t pid = start({pdf});
    for (int i = 0; i < 2000 && !std::filesystem::exists(work.file("big.txt")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(pid, SIGINT);
    Outcome r = finish(pid);
    EXPECT_EQ(r.status, 130) << r.out << r.err;
    EXPECT_EQ(r.out, pdf + "...中断\n");
    EXPECT_NE(r.err.find("中断ボタンが押されました"), std::string::npos);
    std::string text = readFile(work.file("big.txt"));
    EXPECT_EQ(text.substr(text.size() - 6), "page\r\n") << "the last page was finished";
}

TEST_F(CliTest, OnATerminalLogLinesAndQuestionsNeverShareALineWithTheBar)
{
    for (std::string jobs : {"1", "2"}) {
        std::string folder = folderWithOneTextFile("docs" + jobs);
        std::string raw;
        std::vector<std::string> screen = onTerminal({"--jobs", jobs, folder}, raw);
        EXPECT_NE(raw.find(" files"), std::string::npos) << "the bar was drawn";
        const std::string expected[] = {
            folder + "/a.pdf...done(", folder + "/b.pdf...done(", folder + "/c.pdf",
            "以下のファイルは既に存在します。上書きしますか？", folder + "/c.txt", "[y/N] n",
            folder + "/c.pdf...出力ファイルが開けません", // whole again after the question
            folder + "/d.pdf...done(", "処理が終了しました", "",
        };
        ASSERT_EQ(screen.size(), std::size(expected)) << raw;
        for (size_t i = 0; i < screen.size(); ++i)
            EXPECT_EQ(screen[i].substr(0, expected[i].size()), expected[i]) << "jobs " << jobs << ", line " << i;
    }
}

TEST_F(CliTest, OnATerminalCtrlCIsNamedAfterEveryStoppedFile)
{
    const std::string big = slowPdf();
    std::string a = work.write("big/a.pdf", big), b = work.write("big/b.pdf", big);
    std::string raw;
    std::vector<std::string> screen = onTerminal({"--jobs", "2", work.file("big")}, raw, [&](pid_t pid) {
        for (int i = 0; i < 2000 && !(std::filesystem::exists(work.file("big/a.txt"))
                                       && std::filesystem::exists(work.file("big/b.txt")));
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        kill(pid, SIGINT);
    });
    const std::vector<std::string> expected{a + "...中断", b + "...中断", "Ctrl-Cで中断しました", ""};
    EXPECT_EQ(screen, expected) << raw;
}

TEST(ConsoleOptionsTest, ParsesOptionsAndReportsUsageErrorsInOneLine)
{
    using Action = CommandLine::Action;
    CommandLine c = parseCommandLine({"--no-subfolders", "--overwrite", "--header", "<%P>", "--no-footer",
                                      "--extended", "--encoding", "utf-8", "--jobs=3", "a.pdf"});
    ASSERT_EQ(c.action, Action::Convert) << c.usageError;
    Settings s;
    applyConsoleOptions(c.options, s);
    EXPECT_FALSE(s.subFolder);
    EXPECT_FALSE(s.OWConfirm);
    EXPECT_TRUE(s.CRLF) << "not named: as read from the INI file";
    EXPECT_EQ(s.headfootFormat[0], "<%P>");
    EXPECT_FALSE(s.headfootUse[1]);
    EXPECT_TRUE(s.extended);
    EXPECT_EQ(s.encoding, TextEncoding::Utf8);
    EXPECT_EQ(c.options.jobs, 3);
    EXPECT_EQ(c.options.path, "a.pdf");
    EXPECT_EQ(parseCommandLine({"--", "-odd.pdf"}).options.path, "-odd.pdf");
    EXPECT_EQ(parseCommandLine({"x.pdf", "--help"}).action, Action::ShowHelp);
    EXPECT_EQ(parseCommandLine({"--version"}).action, Action::ShowVersion);

    const std::vector<std::pair<std::vector<std::string>, std::string>> errors{
        {{"--jobs", "0", "a.pdf"}, "--jobs takes a number from 1 to 256, not \"0\""},
        {{"--jobs=x", "a.pdf"}, "--jobs takes a number from 1 to 256, not \"x\""},
        {{"a.pdf", "b.pdf"}, "one path only, not also b.pdf"},
        {{"a.pdf", "--header"}, "--header needs a value"},
        {{"a.pdf", "--jobs"}, "--jobs needs a value"},
        {{"--encoding", "latin1", "a.pdf"}, "--encoding takes cp932 or utf-8, not \"latin1\""},
        {{"--bogus", "a.pdf"}, "unknown option --bogus"},
        {{}, "no PDF file or folder given"},
    };
    for (const auto& [args, message] : errors) {
        CommandLine e = parseCommandLine(args);
        EXPECT_EQ(e.action, Action::UsageError) << message;
        EXPECT_EQ(e.usageError, message);
    }
}

TEST_F(CliTest, AUsageErrorIsOneLinePointingToHelp)
{
    Outcome r = run({"--jobs", "0", work.file("a.pdf")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "scrivlet-cli: --jobs takes a number from 1 to 256, not \"0\" (see scrivlet-cli --help)\n");
}
