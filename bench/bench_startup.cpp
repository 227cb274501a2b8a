// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the built program on a private Xvfb, against FeatherPad started the same way: the
// time from starting the process to the first paint of one of its windows (the first X damage
// on a top-level window), and its resident memory once it has drawn nothing for a while.
#include <benchmark/benchmark.h>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto StartTimeout = std::chrono::seconds(20);
// A program counts as idle once it has drawn nothing for this long; shorter than half a second,
// so that a blinking text cursor does not keep it busy for ever.
constexpr auto QuietPeriod = std::chrono::milliseconds(300);
constexpr int Runs = 10;

std::string temporaryDirectory()
{
    std::string pattern = "/tmp/quillmere-bench-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

std::optional<std::string> findProgram(const std::string &name)
{
    const char *path = std::getenv("PATH");
    std::istringstream directories(path ? path : "/usr/bin:/bin");
    for (std::string directory; std::getline(directories, directory, ':');) {
        const std::string candidate = directory + '/' + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

// Starts `arguments` with `environment`; returns the process id, or -1.
pid_t spawn(const std::vector<std::string> &arguments, const std::vector<std::string> &environment,
            posix_spawn_file_actions_t *actions = nullptr)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const std::string &variable : environment)
        envp.push_back(const_cast<char *>(variable.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv.front(), actions, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(50'000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Resident memory of a running process, from /proc.
double residentMegabytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}

// A private X server on a display it picks itself, so that nothing else draws on it.
class XServer
{
public:
    XServer()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        m_pid = spawn({ "Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                        "1600x1200x24", "-nolisten", "tcp" },
                      {}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        // Xvfb writes the number and then a newline, and dies if the pipe is closed in between.
        std::string number;
        pollfd ready { fds[0], POLLIN, 0 };
        char byte = 0;
        while (m_pid > 0 && poll(&ready, 1, 10'000) == 1 && read(fds[0], &byte, 1) == 1
               && byte != '\n')
            number += byte;
        if (byte == '\n' && !number.empty())
            m_display = ':' + number;
        close(fds[0]);
    }
    ~XServer() { stop(m_pid); }
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    const std::string &display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// Watches the X server for drawing on top-level windows, through the DAMAGE extension.
class PaintWatcher
{
public:
    explicit PaintWatcher(const std::string &display)
        : m_connection(xcb_connect(display.c_str(), nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        const xcb_query_extension_reply_t *damage
            = xcb_get_extension_data(m_connection, &xcb_damage_id);
        if (!damage || !damage->present)
            return;
        m_damageNotify = damage->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(m_connection,
                                            xcb_damage_query_version(m_connection, 1, 1), nullptr));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        m_ready = true;
    }
    ~PaintWatcher() { xcb_disconnect(m_connection); }
    PaintWatcher(const PaintWatcher &) = delete;
    PaintWatcher &operator=(const PaintWatcher &) = delete;

    bool isReady() const { return m_ready; }

    // The time of the first drawing on any top-level window, or nothing by `deadline`.
    std::optional<Clock::time_point> firstPaint(Clock::time_point deadline)
    {
        while (Clock::now() < deadline) {
            if (std::optional<Clock::time_point> painted = nextPaint(deadline))
                return painted;
        }
        return std::nullopt;
    }

    // The time of the last drawing before nothing was drawn for QuietPeriod, or nothing when
    // the drawing has not stopped by `deadline`.
    std::optional<Clock::time_point> lastPaintBeforeQuiet(Clock::time_point since,
                                                          Clock::time_point deadline)
    {
        Clock::time_point last = since;
        while (Clock::now() < deadline) {
            const auto quietUntil = std::min(last + QuietPeriod, deadline);
            if (std::optional<Clock::time_point> painted = nextPaint(quietUntil))
                last = *painted;
            else if (Clock::now() >= last + QuietPeriod)
                return last;
        }
        return std::nullopt;
    }

private:
    // Handles events until one reports drawing, returning its time, or `until` passes.
    std::optional<Clock::time_point> nextPaint(Clock::time_point until)
    {
        for (;;) {
            std::unique_ptr<xcb_generic_event_t, decltype(&free)> event(
                xcb_poll_for_event(m_connection), &free);
            if (!event) {
                const auto left
                    = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
                if (left.count() <= 0 || xcb_connection_has_error(m_connection))
                    return std::nullopt;
                pollfd ready { xcb_get_file_descriptor(m_connection), POLLIN, 0 };
                poll(&ready, 1, int(left.count()) + 1);
                continue;
            }
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_CREATE_NOTIFY) {
                // Watched from creation, so the first paint after mapping is never missed.
                const auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event.get());
                xcb_damage_create(m_connection, xcb_generate_id(m_connection), created->window,
                                  XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                xcb_flush(m_connection);
            } else if (type == m_damageNotify) {
                const auto *notify = reinterpret_cast<xcb_damage_notify_event_t *>(event.get());
                // Emptying the damage re-arms the report for the next drawing.
                xcb_damage_subtract(m_connection, notify->damage, XCB_NONE, XCB_NONE);
                xcb_flush(m_connection);
                return Clock::now();
            }
        }
    }

    xcb_connection_t *m_connection;
    uint8_t m_damageNotify = 0;
    bool m_ready = false;
};

// What the benchmarks share: one X server, one watcher, one private configuration directory.
struct Desktop
{
    XServer server;
    std::unique_ptr<PaintWatcher> watcher;
    std::string home = temporaryDirectory();
    std::vector<std::string> environment;

    Desktop()
    {
        if (server.display().empty())
            return;
        watcher = std::make_unique<PaintWatcher>(server.display());
        for (char **variable = environ; *variable; ++variable) {
            const std::string entry(*variable);
            const std::string name = entry.substr(0, entry.find('='));
            if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name.rfind("QT_", 0) != 0
                && name.rfind("XDG_", 0) != 0 && name != "DBUS_SESSION_BUS_ADDRESS")
                environment.push_back(entry);
        }
        // No session bus: a single-instance editor would otherwise hand its start to a copy
        // already running on the user's desktop.
        environment.insert(environment.end(),
                           { "DISPLAY=" + server.display(), "QT_QPA_PLATFORM=xcb",
                             "DBUS_SESSION_BUS_ADDRESS=unix:path=" + home + "/no-bus",
                             "XDG_CONFIG_HOME=" + home + "/config",
                             "XDG_CACHE_HOME=" + home + "/cache", "XDG_DATA_HOME=" + home + "/data",
                             "XDG_RUNTIME_DIR=" + home });
    }
    ~Desktop()
    {
        if (!home.empty())
            std::filesystem::remove_all(home);
    }
};

Desktop &desktop()
{
    static Desktop shared;
    return shared;
}

struct Start
{
    double firstPaintSeconds = 0;
    double lastPaintSeconds = 0;
    double residentMegabytes = 0;
};

std::optional<Start> startOnce(const std::string &program)
{
    Desktop &shared = desktop();
    const Clock::time_point started = Clock::now();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const pid_t pid = spawn({ program }, shared.environment, &actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pid <= 0)
        return std::nullopt;
    const Clock::time_point deadline = started + StartTimeout;
    std::optional<Start> result;
    if (const auto first = shared.watcher->firstPaint(deadline)) {
        if (const auto last = shared.watcher->lastPaintBeforeQuiet(*first, deadline)) {
            result = Start { std::chrono::duration<double>(*first - started).count(),
                             std::chrono::duration<double>(*last - started).count(),
                             residentMegabytes(pid) };
        }
    }
    stop(pid);
    return result;
}

void measureStartUp(benchmark::State &state, const std::string &program)
{
    if (!desktop().watcher || !desktop().watcher->isReady()) {
        state.SkipWithError("no Xvfb with the DAMAGE extension could be started");
        return;
    }
    // One start to warm the file caches, so that neither program pays for a cold disk.
    startOnce(program);
    double lastPaint = 0;
    double resident = 0;
    for (auto _ : state) {
        const std::optional<Start> start = startOnce(program);
        if (!start) {
            state.SkipWithError("the program painted no window within 20 s");
            return;
        }
        state.SetIterationTime(start->firstPaintSeconds);
        lastPaint += start->lastPaintSeconds;
        resident += start->residentMegabytes;
    }
    const double runs = double(state.iterations());
    state.counters["last_paint_ms"] = lastPaint / runs * 1000;
    state.counters["idle_rss_mb"] = resident / runs;
}

// Baseline: FeatherPad, a small Qt text editor from Debian's packages.
void BM_StartFeatherPad(benchmark::State &state)
{
    const std::optional<std::string> program = findProgram("featherpad");
    if (!program) {
        state.SkipWithError("FeatherPad is not installed (apt-get install featherpad)");
        return;
    }
    measureStartUp(state, *program);
}

void BM_StartQuillmere(benchmark::State &state)
{
    measureStartUp(state, QUILLMERE_PROGRAM);
}

} // namespace

BENCHMARK(BM_StartFeatherPad)->Iterations(Runs)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartQuillmere)->Iterations(Runs)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
