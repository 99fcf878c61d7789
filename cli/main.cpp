// scrivlet-cli: the conversion of the desktop program, from a terminal.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <cstring>
#include <string>

#include "app/uiMainModule.h"
#include "cli/consoleFrontEnd.h"
#include "platform/system.h"

namespace {

const char* kUsage =
    "Usage: scrivlet-cli [OPTIONS] PATH\n"
    "Extracts the text of a PDF file, or of every PDF file in a folder, into a\n"
    "\".txt\" file beside it (code page 932). Settings come from Scrivlet.ini beside\n"
    "the program (never written by this tool), then from these options:\n"
    "  --subfolders / --no-subfolders          include subfolders of a folder\n"
    "  --confirm-overwrite / --overwrite       ask before replacing a text file\n"
    "  --crlf / --no-crlf                      line breaks at text positioning\n"
    "  --header FORMAT / --no-header           page header (%P page, %A pages,\n"
    "  --footer FORMAT / --no-footer           %N file name, %F full path)\n"
    "  --jobs N                                convert N files at once (default: the\n"
    "                                          number of cores); the log and the\n"
    "                                          questions keep the files' order\n"
    "  --help, --version\n"
    "The processing log goes to stdout, one line per PDF. Exit status: 0 all\n"
    "converted, 1 some failed, 2 nothing was run, 130 stopped by Ctrl-C.\n";

enum Exit { kAllConverted = 0, kSomeFailed = 1, kNotRun = 2, kInterrupted = 130 };

struct Options {
    std::string path;
    int subFolder = -1, owConfirm = -1, crlf = -1;
    int header = -1, footer = -1;
    std::string headerFormat, footerFormat;
    int jobs = 0; // 0: one per core
};

bool parse(int argc, char** argv, Options& o, int& exitNow)
{
    exitNow = -1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            exitNow = 0;
            return true;
        } else if (a == "--version") {
            std::printf("scrivlet-cli %s\n", kVersion);
            exitNow = 0;
            return true;
        } else if (a == "--subfolders" || a == "--no-subfolders") {
            o.subFolder = a == "--subfolders";
        } else if (a == "--confirm-overwrite" || a == "--overwrite") {
            o.owConfirm = a == "--confirm-overwrite";
        } else if (a == "--crlf" || a == "--no-crlf") {
            o.crlf = a == "--crlf";
        } else if (a == "--header") {
            if (!value(o.headerFormat))
                return false;
            o.header = 1;
        } else if (a == "--no-header") {
            o.header = 0;
        } else if (a == "--footer") {
            if (!value(o.footerFormat))
                return false;
            o.footer = 1;
        } else if (a == "--jobs" || a.rfind("--jobs=", 0) == 0) {
            std::string n;
            if (a == "--jobs" ? !value(n) : (n = a.substr(7), false))
                return false;
            char* end = nullptr;
            long v = std::strtol(n.c_str(), &end, 10);
            if (n.empty() || *end != '\0' || v < 1 || v > 256)
                return false;
            o.jobs = static_cast<int>(v);
        } else if (a == "--no-footer") {
            o.footer = 0;
        } else if (a == "--") {
            if (i + 2 != argc || !o.path.empty())
                return false;
            o.path = argv[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "scrivlet-cli: unknown option %s\n", a.c_str());
            return false;
        } else if (o.path.empty()) {
            o.path = a;
        } else {
            return false;
        }
    }
    return !o.path.empty();
}

void apply(const Options& o, Settings& s)
{
    if (o.subFolder >= 0)
        s.subFolder = o.subFolder;
    if (o.owConfirm >= 0)
        s.OWConfirm = o.owConfirm;
    if (o.crlf >= 0)
        s.CRLF = o.crlf;
    if (o.header >= 0) {
        s.headfootUse[0] = o.header;
        if (o.header)
            s.headfootFormat[0] = o.headerFormat;
    }
    if (o.footer >= 0) {
        s.headfootUse[1] = o.footer;
        if (o.footer)
            s.headfootFormat[1] = o.footerFormat;
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    int exitNow;
    if (!parse(argc, argv, options, exitNow)) {
        std::fputs(kUsage, stderr);
        return kNotRun;
    }
    if (exitNow >= 0)
        return exitNow;

    const bool terminal = isatty(STDERR_FILENO);
    cli::StatusLine status(stderr, terminal);
    cli::ConsoleLog log(stdout, isatty(STDOUT_FILENO), status);
    cli::ConsoleBoxes boxes(stdin, stderr, isatty(STDIN_FILENO), status, log);
    cli::ConsolePump pump;
    cli::ConsoleNotice notice(status);
    cli::ConsoleProgress progress(status, pump);
    pump.attach(&notice, &progress, &log);

    Application app(platform::programFolder(), progress, notice, log, boxes, pump);
    setDefaultSettings(app.settings);
    loadSettings(app);
    apply(options, app.settings);
    if (!p2tCIDInit(app.cidTable, app.programFolder, boxes))
        return kNotRun;

    app.jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    cli::installInterruptHandler();
    bool started = runConversion(app, options.path);
    std::fflush(stdout);
    if (app.runCancelled)
        return kInterrupted;
    if (!started)
        return kNotRun;
    return app.filesFailed > 0 ? kSomeFailed : kAllConverted;
}
