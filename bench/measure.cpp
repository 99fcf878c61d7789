// Times a command the way the benchmark reports it: wall time, CPU time of
// the children (user + system) and their peak resident memory, as the median
// of several runs.
//
//   bench-measure [--runs N] [--budget S] [--timeout S] [--each LIST] [--log FILE]
//                 -- PROGRAM ARGS...
//
// With --each, one run starts the program once per line of LIST, one after
// the other, with "{}" in the arguments replaced by the line and "{name}" by
// its file name without the extension; the run's peak memory is the largest
// of those processes. Children get /dev/null for stdin and stdout; stderr
// goes to --log (appended) or to /dev/null.
//
// --budget stops repeating once another run would take the runs past S
// seconds (at least one run is made), so that the whole benchmark stays
// within its time on a slow or busy machine. --timeout kills a process that
// runs longer than S seconds; the run is then reported as timed out and not
// repeated.
//
// Prints: "wall_s cpu_s maxrss_kb failed_processes runs timed_out" (medians;
// failures of the last run).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Sample {
    double wall = 0;
    double cpu = 0;
    long maxRssKb = 0;
    int failed = 0;
    bool timedOut = false;
};

std::string substitute(const std::string& arg, const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (size_t dot = name.rfind('.'); dot != std::string::npos)
        name.resize(dot);
    std::string out;
    for (size_t i = 0; i < arg.size();) {
        if (arg.compare(i, 2, "{}") == 0) {
            out += path;
            i += 2;
        } else if (arg.compare(i, 6, "{name}") == 0) {
            out += name;
            i += 6;
        } else {
            out += arg[i++];
        }
    }
    return out;
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// Starts one process and waits for it, at most timeout seconds when that is
// positive; its own usage, not its siblings'.
bool runOnce(const std::vector<std::string>& argv, int errFd, double timeout, Sample& s)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        int null = ::open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(errFd >= 0 ? errFd : null, STDERR_FILENO);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    bool reaped = false;
    if (timeout > 0) {
        // SIGCHLD is blocked (see main), so sigtimedwait sees the child end.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
        sigset_t chld;
        sigemptyset(&chld);
        sigaddset(&chld, SIGCHLD);
        for (;;) {
            pid_t r = wait4(pid, &status, WNOHANG, &ru);
            if (r == pid) {
                reaped = true;
                break;
            }
            if (r < 0 && errno != EINTR)
                return false;
            double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0) {
                kill(pid, SIGKILL);
                s.timedOut = true;
                break;
            }
            double whole = static_cast<double>(static_cast<long>(left));
            timespec ts{static_cast<time_t>(whole), static_cast<long>((left - whole) * 1e9)};
            sigtimedwait(&chld, nullptr, &ts);
        }
    }
    if (!reaped)
        while (wait4(pid, &status, 0, &ru) < 0)
            if (errno != EINTR)
                return false;
    s.cpu += seconds(ru.ru_utime) + seconds(ru.ru_stime);
    s.maxRssKb = std::max(s.maxRssKb, ru.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename T>
T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int usage()
{
    std::fprintf(stderr, "usage: bench-measure [--runs N] [--budget S] [--timeout S] [--each LIST] [--log FILE] -- PROGRAM ARGS...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    double budget = 0, timeout = 0;
    std::string each, logPath;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--budget" && i + 1 < argc)
            budget = std::atof(argv[++i]);
        else if (a == "--timeout" && i + 1 < argc)
            timeout = std::atof(argv[++i]);
        else if (a == "--each" && i + 1 < argc)
            each = argv[++i];
        else if (a == "--log" && i + 1 < argc)
            logPath = argv[++i];
        else if (a == "--") {
            ++i;
            break;
        } else
            return usage();
    }
    if (i >= argc)
        return usage();
    std::vector<std::string> command(argv + i, argv + argc);

    std::vector<std::string> targets;
    if (!each.empty()) {
        std::ifstream list(each);
        for (std::string line; std::getline(list, line);)
            if (!line.empty())
                targets.push_back(line);
        if (targets.empty()) {
            std::fprintf(stderr, "bench-measure: %s lists nothing\n", each.c_str());
            return 2;
        }
    }
    int errFd = -1;
    if (!logPath.empty()) {
        errFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (errFd < 0) {
            std::perror(logPath.c_str());
            return 2;
        }
    }

    // The argument lists are built before the clock starts.
    std::vector<std::vector<std::string>> perProcess;
    if (targets.empty()) {
        perProcess.push_back(command);
    } else {
        for (const std::string& t : targets) {
            std::vector<std::string> args;
            for (const std::string& a : command)
                args.push_back(substitute(a, t));
            perProcess.push_back(std::move(args));
        }
    }

    if (timeout > 0) {
        sigset_t chld;
        sigemptyset(&chld);
        sigaddset(&chld, SIGCHLD);
        sigprocmask(SIG_BLOCK, &chld, nullptr);
    }
    std::vector<Sample> samples;
    double spent = 0;
    for (int r = 0; r < runs; ++r) {
        Sample s;
        auto start = std::chrono::steady_clock::now();
        for (const auto& args : perProcess) {
            if (!runOnce(args, errFd, timeout, s))
                ++s.failed;
            if (s.timedOut)
                break;
        }
        s.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "  run %d: wall %.3f s, cpu %.3f s, peak %ld KB, %d failed%s\n", r + 1, s.wall, s.cpu,
                     s.maxRssKb, s.failed, s.timedOut ? ", timed out" : "");
        samples.push_back(s);
        spent += s.wall;
        if (s.timedOut || (budget > 0 && spent + s.wall > budget))
            break;
    }
    std::vector<double> walls, cpus;
    std::vector<long> rss;
    for (const Sample& s : samples) {
        walls.push_back(s.wall);
        cpus.push_back(s.cpu);
        rss.push_back(s.maxRssKb);
    }
    std::printf("%.4f %.4f %ld %d %zu %d\n", median(walls), median(cpus), median(rss), samples.back().failed,
                samples.size(), samples.back().timedOut ? 1 : 0);
    return 0;
}
