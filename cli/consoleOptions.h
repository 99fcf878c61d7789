// The console tool's command line: parsed into what to do and the settings it
// overrides, without touching the terminal, so that tests call it directly.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/settings.h"

extern const char* const kConsoleUsage; // the --help text

struct ConsoleOptions {
    std::string path;
    std::optional<bool> subFolder, owConfirm, crlf, extended;
    std::optional<bool> header, footer; // on with headerFormat / footerFormat, or off
    std::string headerFormat, footerFormat;
    std::optional<TextEncoding> encoding;
    int jobs = 0; // 0: one per core
};

struct CommandLine {
    enum class Action { Convert, ShowHelp, ShowVersion, UsageError };
    Action action = Action::Convert;
    ConsoleOptions options;   // Convert
    std::string usageError;   // UsageError: what was wrong, one line without a line break
};

// args: the arguments after the program's name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The settings the options name, over those read from the INI file.
void applyConsoleOptions(const ConsoleOptions& options, Settings& settings);
