// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Start-up of wavemill beside a bare Qt window: each program is started
// several times, alternately, with the probe preloaded; the time runs from
// just before the program is spawned to its first window being shown, and
// the memory is the resident set size half a second later. Prints
//   startup_runs 10
//   startup_platform xcb
//   startup_bare_ms_median 80.1
//   startup_wavemill_ms_median 95.2
//   startup_ratio 1.19
//   startup_bare_rss_mb_median 30.1
//   startup_wavemill_rss_mb_median 33.4
//
// Usage: bench_startup [--runs N]   (with DISPLAY set, or QT_QPA_PLATFORM=offscreen)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Sample
{
    double ms = -1;
    double rssMb = -1;
};

long long monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

/// Starts \a program with the probe preloaded and reads what the probe says.
Sample measure(const char *program)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "LD_PRELOAD=", 11) != 0)
            env.emplace_back(*e);
    }
    env.push_back(std::string("LD_PRELOAD=") + WAVEMILL_PROBE_PATH);
    std::vector<char *> envp;
    for (std::string &s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", 0, 0);

    char *argv[] = {const_cast<char *>(program), nullptr};
    pid_t pid = 0;
    const long long start = monotonicNs();
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        std::fprintf(stderr, "cannot start %s\n", program);
        return {};
    }
    std::string output;
    char chunk[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], chunk, sizeof chunk)) > 0)
        output.append(chunk, std::size_t(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);

    Sample sample;
    long long shown = 0;
    long rss = 0;
    const char *at = std::strstr(output.c_str(), "startup_probe shown_ns ");
    if (at && std::sscanf(at, "startup_probe shown_ns %lld", &shown) == 1)
        sample.ms = double(shown - start) / 1e6;
    at = std::strstr(output.c_str(), "startup_probe rss_kb ");
    if (at && std::sscanf(at, "startup_probe rss_kb %ld", &rss) == 1)
        sample.rssMb = double(rss) / 1024.0;
    if (sample.ms < 0)
        std::fprintf(stderr, "%s: no window shown; it said:\n%s\n", program, output.c_str());
    return sample;
}

double median(std::vector<double> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return v < 0; }),
                 values.end());
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    int runs = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    const std::string platformName = platform && *platform    ? platform
                                     : std::getenv("DISPLAY") ? "xcb"
                                                              : "default";

    // One unmeasured start of each first: libraries and fonts into the page cache.
    measure(WAVEMILL_BARE_PATH);
    measure(WAVEMILL_APP_PATH);

    std::vector<double> bareMs, appMs, bareRss, appRss;
    for (int r = 0; r < runs; ++r) {
        const Sample bare = measure(WAVEMILL_BARE_PATH);
        const Sample app = measure(WAVEMILL_APP_PATH);
        bareMs.push_back(bare.ms);
        bareRss.push_back(bare.rssMb);
        appMs.push_back(app.ms);
        appRss.push_back(app.rssMb);
    }
    const double bare = median(bareMs);
    const double app = median(appMs);
    std::printf("startup_runs %d\n", runs);
    std::printf("startup_platform %s\n", platformName.c_str());
    std::printf("startup_bare_ms_median %.1f\n", bare);
    std::printf("startup_wavemill_ms_median %.1f\n", app);
    std::printf("startup_ratio %.2f\n", bare > 0 && app > 0 ? app / bare : -1.0);
    std::printf("startup_bare_rss_mb_median %.1f\n", median(bareRss));
    std::printf("startup_wavemill_rss_mb_median %.1f\n", median(appRss));
    return bare > 0 && app > 0 ? 0 : 1;
}
