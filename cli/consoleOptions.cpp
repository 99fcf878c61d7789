#include "cli/consoleOptions.h"

#include <cstdlib>

const char* const kConsoleUsage =
    "Usage: scrivlet-cli [OPTIONS] PATH\n"
    "Extracts the text of a PDF file, or of every PDF file in a folder, into a\n"
    "\".txt\" file beside it (code page 932). Settings come from Scrivlet.ini beside\n"
    "the program, or in ~/.config/Scrivlet when it is installed (never written by\n"
    "this tool), then from these options:\n"
    "  --subfolders / --no-subfolders          include subfolders of a folder\n"
    "  --confirm-overwrite / --overwrite       ask before replacing a text file\n"
    "  --crlf / --no-crlf                      line breaks at text positioning\n"
    "  --header FORMAT / --no-header           page header (%P page, %A pages,\n"
    "  --footer FORMAT / --no-footer           %N file name, %F full path)\n"
    "  --extended / --no-extended              extended reading (newer PDF files)\n"
    "  --encoding cp932|utf-8                  the text files' encoding (UTF-8\n"
    "                                          without a byte order mark)\n"
    "  --jobs N                                convert N files at once (default: the\n"
    "                                          number of cores); the log and the\n"
    "                                          questions keep the files' order\n"
    "  --help, --version\n"
    "The processing log goes to stdout, one line per PDF. Exit status: 0 all\n"
    "converted, 1 some failed, 2 nothing was run, 130 stopped by Ctrl-C.\n";

namespace {

CommandLine usageError(std::string what)
{
    CommandLine c;
    c.action = CommandLine::Action::UsageError;
    c.usageError = std::move(what);
    return c;
}

std::optional<int> jobCount(const std::string& n)
{
    char* end = nullptr;
    long v = std::strtol(n.c_str(), &end, 10);
    if (n.empty() || *end != '\0' || v < 1 || v > 256)
        return std::nullopt;
    return static_cast<int>(v);
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args)
{
    CommandLine result;
    ConsoleOptions& o = result.options;
    const size_t count = args.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string& a = args[i];
        // The value of an option that takes one: the next argument.
        const std::string* value = i + 1 < count ? &args[i + 1] : nullptr;
        auto needsValue = [&](const char* name) { return usageError(std::string(name) + " needs a value"); };
        if (a == "--help" || a == "-h") {
            result.action = CommandLine::Action::ShowHelp;
            return result;
        } else if (a == "--version") {
            result.action = CommandLine::Action::ShowVersion;
            return result;
        } else if (a == "--subfolders" || a == "--no-subfolders") {
            o.subFolder = a == "--subfolders";
        } else if (a == "--confirm-overwrite" || a == "--overwrite") {
            o.owConfirm = a == "--confirm-overwrite";
        } else if (a == "--crlf" || a == "--no-crlf") {
            o.crlf = a == "--crlf";
        } else if (a == "--extended" || a == "--no-extended") {
            o.extended = a == "--extended";
        } else if (a == "--header" || a == "--footer") {
            if (!value)
                return needsValue(a.c_str());
            (a == "--header" ? o.headerFormat : o.footerFormat) = *value;
            (a == "--header" ? o.header : o.footer) = true;
            ++i;
        } else if (a == "--no-header") {
            o.header = false;
        } else if (a == "--no-footer") {
            o.footer = false;
        } else if (a == "--encoding") {
            if (!value)
                return needsValue("--encoding");
            if (*value == "cp932")
                o.encoding = TextEncoding::Cp932;
            else if (*value == "utf-8")
                o.encoding = TextEncoding::Utf8;
            else
                return usageError("--encoding takes cp932 or utf-8, not \"" + *value + "\"");
            ++i;
        } else if (a == "--jobs" || a.rfind("--jobs=", 0) == 0) {
            std::string n;
            if (a == "--jobs") {
                if (!value)
                    return needsValue("--jobs");
                n = *value;
                ++i;
            } else {
                n = a.substr(7);
            }
            std::optional<int> jobs = jobCount(n);
            if (!jobs)
                return usageError("--jobs takes a number from 1 to 256, not \"" + n + "\"");
            o.jobs = *jobs;
        } else if (a == "--") {
            if (i + 2 != count || !o.path.empty())
                return usageError("-- must be followed by the one path");
            o.path = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option " + a);
        } else if (o.path.empty()) {
            o.path = a;
        } else {
            return usageError("one path only, not also " + a);
        }
    }
    if (o.path.empty())
        return usageError("no PDF file or folder given");
    return result;
}

void applyConsoleOptions(const ConsoleOptions& o, Settings& s)
{
    if (o.subFolder)
        s.subFolder = *o.subFolder;
    if (o.owConfirm)
        s.OWConfirm = *o.owConfirm;
    if (o.crlf)
        s.CRLF = *o.crlf;
    if (o.extended)
        s.extended = *o.extended;
    if (o.encoding)
        s.encoding = *o.encoding;
    if (o.header) {
        s.headfootUse[0] = *o.header;
        if (*o.header)
            s.headfootFormat[0] = o.headerFormat;
    }
    if (o.footer) {
        s.headfootUse[1] = *o.footer;
        if (*o.footer)
            s.headfootFormat[1] = o.footerFormat;
    }
}
