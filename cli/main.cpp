// scrivlet-cli: the conversion of the desktop program, from a terminal.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/uiMainModule.h"
#include "cli/consoleFrontEnd.h"
#include "cli/consoleOptions.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace {

enum Exit { kAllConverted = 0, kSomeFailed = 1, kNotRun = 2, kInterrupted = 130 };

} // namespace

int main(int argc, char** argv)
{
    const CommandLine commandLine = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (commandLine.action) {
    case CommandLine::Action::ShowHelp:
        std::fputs(kConsoleUsage, stdout);
        return kAllConverted;
    case CommandLine::Action::ShowVersion:
        std::printf("scrivlet-cli %s\n", kVersion);
        return kAllConverted;
    case CommandLine::Action::UsageError:
        std::fprintf(stderr, "scrivlet-cli: %s (see scrivlet-cli --help)\n", commandLine.usageError.c_str());
        return kNotRun;
    case CommandLine::Action::Convert:
        break;
    }
    const ConsoleOptions& options = commandLine.options;

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
    applyConsoleOptions(options, app.settings);
    if (!p2tCIDInit(app.cidTable, app.programFolder, boxes))
        return kNotRun;

    app.jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    cli::installInterruptHandler();
    bool started = runConversion(app, absolutePath(options.path));
    std::fflush(stdout);
    if (app.run.runCancelled)
        return kInterrupted;
    if (!started)
        return kNotRun;
    return app.run.filesFailed > 0 ? kSomeFailed : kAllConverted;
}
