// Runs the real program under a private X server (Xvfb picks a free display itself, so runs in
// parallel never meet), waits for its window to be mapped with the layout's caption and size,
// closes it the way a window manager's close box does (WM_DELETE_WINDOW) and expects the
// program to end with exit code 0. It also reports, without judging them, how long the window
// took to appear and how much memory the idle program holds.
//
// Usage: app_window_test <program> [<working directory, used when it exists>]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string Caption = "Quarvelo - Versão 1.0";
constexpr int ClientWidth = 981;
constexpr int ClientHeight = 479;
constexpr int FrameLeft = 178;
constexpr int FrameTop = 188;
// Bounds for things that should take a moment; reaching one means the run failed.
constexpr auto Patience = 30s;

bool failed = false;

void Check(bool condition, const std::string &what)
{
    std::printf("%s: %s\n", condition ? "ok" : "FAILED", what.c_str());
    failed = failed || !condition;
}

// A child process that is stopped when it is still running at the end of the test.
class Child
{
public:
    explicit Child(pid_t pid) : m_pid(pid) { }
    ~Child()
    {
        if (m_pid > 0 && !m_status) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    pid_t pid() const { return m_pid; }

    // The wait status once the process has ended, without waiting for it.
    std::optional<int> status()
    {
        if (!m_status) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_status = status;
        }
        return m_status;
    }

    std::optional<int> waitFor(Clock::duration limit)
    {
        const auto deadline = Clock::now() + limit;
        while (!status() && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return m_status;
    }

private:
    pid_t m_pid;
    std::optional<int> m_status;
};

// Starts Xvfb on a display of its own choosing and returns that display's number.
std::optional<int> StartServer(std::unique_ptr<Child> &server)
{
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", static_cast<char *>(nullptr));
        std::perror("Xvfb");
        _exit(127);
    }
    close(fds[1]);
    server = std::make_unique<Child>(pid);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, int(std::chrono::milliseconds(Patience).count())) > 0
           && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty())
        return std::nullopt;
    return std::stoi(number);
}

std::unique_ptr<Child> StartProgram(const char *program, const std::string &display,
                                    const char *workingDirectory)
{
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        unsetenv("QT_QPA_PLATFORM");
        // libxkbcommon-x11 copies counted, unterminated atom names with strndup, which the
        // sanitizer's strict string checks misread as an overflow; the later setting wins.
        if (const char *options = std::getenv("ASAN_OPTIONS")) {
            const std::string relaxed = std::string(options) + ":strict_string_checks=0";
            setenv("ASAN_OPTIONS", relaxed.c_str(), 1);
        }
        struct stat info
        {
        };
        if (workingDirectory && stat(workingDirectory, &info) == 0 && S_ISDIR(info.st_mode)
            && chdir(workingDirectory) != 0)
            _exit(126);
        execl(program, program, static_cast<char *>(nullptr));
        std::perror(program);
        _exit(127);
    }
    return std::make_unique<Child>(pid);
}

std::string Title(Display *display, Window window)
{
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long rest = 0;
    unsigned char *data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, name, 0, 1024, False, utf8, &type, &format, &count,
                           &rest, &data)
            == Success
        && data) {
        title.assign(reinterpret_cast<const char *>(data), count);
        XFree(data);
    }
    return title;
}

// The program's top-level window once it is mapped and bears the caption.
std::optional<Window> FindWindow(Display *display)
{
    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return std::nullopt;
    std::optional<Window> found;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes)
            && attributes.map_state == IsViewable && Title(display, children[i]) == Caption)
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

bool AcceptsDeleteWindow(Display *display, Window window)
{
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom *protocols = nullptr;
    int count = 0;
    bool accepts = false;
    if (XGetWMProtocols(display, window, &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            accepts = accepts || protocols[i] == deleteWindow;
        XFree(protocols);
    }
    return accepts;
}

void SendDeleteWindow(Display *display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

std::string ResidentMemory(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:"))
            return line.substr(6).substr(line.find_first_not_of(" \t", 6) - 6);
    }
    return "unknown";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <program> [<working directory>]\n", argv[0]);
        return 2;
    }
    std::unique_ptr<Child> server;
    const std::optional<int> number = StartServer(server);
    if (!number) {
        Check(false, "Xvfb starts and names its display");
        return 1;
    }
    const std::string displayName = ":" + std::to_string(*number);
    Display *display = XOpenDisplay(displayName.c_str());
    if (!display) {
        Check(false, "the test connects to " + displayName);
        return 1;
    }

    // The program is found before it starts in its own working directory.
    char *const programPath = realpath(argv[1], nullptr);
    if (!programPath) {
        Check(false, std::string("the program ") + argv[1] + " exists");
        return 1;
    }
    const auto started = Clock::now();
    std::unique_ptr<Child> program =
        StartProgram(programPath, displayName, argc > 2 ? argv[2] : nullptr);
    std::free(programPath);
    std::optional<Window> window;
    while (!window && !program->status() && Clock::now() < started + Patience) {
        window = FindWindow(display);
        if (!window)
            std::this_thread::sleep_for(5ms);
    }
    const auto mapped =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    Check(window.has_value(), "a window titled \"" + Caption + "\" is mapped");
    if (window) {
        std::printf("measured: window mapped %lld ms after the program was started\n",
                    static_cast<long long>(mapped.count()));
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, *window, &attributes);
        Check(attributes.width == ClientWidth && attributes.height == ClientHeight,
              "its client area is 981 x 479 (is " + std::to_string(attributes.width) + " x "
                  + std::to_string(attributes.height) + ")");
        Check(attributes.x == FrameLeft && attributes.y == FrameTop,
              "it opens at 178, 188 (at " + std::to_string(attributes.x) + ", "
                  + std::to_string(attributes.y) + ")");
        XSizeHints hints{};
        long supplied = 0;
        const bool hinted = XGetWMNormalHints(display, *window, &hints, &supplied);
        Check(hinted && (hints.flags & PMinSize) && (hints.flags & PMaxSize)
                  && hints.min_width == ClientWidth && hints.max_width == ClientWidth
                  && hints.min_height == ClientHeight && hints.max_height == ClientHeight,
              "the window manager is told that it cannot be resized");
        Check(AcceptsDeleteWindow(display, *window), "it takes part in WM_DELETE_WINDOW");

        // Idle: the window is up and nothing is asked of the program.
        std::this_thread::sleep_for(1s);
        std::printf("measured: idle resident memory (VmRSS) %s\n",
                    ResidentMemory(program->pid()).c_str());

        SendDeleteWindow(display, *window);
        const std::optional<int> status = program->waitFor(Patience);
        Check(status.has_value(), "the program ends when its window is closed");
        if (status) {
            Check(WIFEXITED(*status) && WEXITSTATUS(*status) == 0,
                  "it ends with exit code 0 (status " + std::to_string(*status) + ")");
        }
    } else if (const std::optional<int> status = program->status()) {
        std::printf("the program ended early with status %d\n", *status);
    }
    XCloseDisplay(display);
    return failed ? 1 : 0;
}
