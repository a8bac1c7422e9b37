// Starts a program on the X server that DISPLAY names and reports how long it took, from the
// start, for the program's first top-level window to be mapped. The map arrives as an event,
// so the time is as fine as the clock; a waiter that polls rounds it up to its period. Used by
// bench/startup-probe.
//
// Usage: map_waiter <program> [<argument>...]
// Prints "<milliseconds> <pid>" once the window is mapped, then stays until the program ends
// (a SIGTERM or SIGINT it receives is passed on) and exits with the program's exit code.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int PatienceMs = 30'000;

volatile sig_atomic_t childPid = 0;

void passOn(int signal)
{
    if (childPid > 0)
        kill(childPid, signal);
}

// Qt names the owner of a top-level window in _NET_WM_PID before it maps it.
std::optional<pid_t> owner(Display *display, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long rest = 0;
    unsigned char *data = nullptr;
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    std::optional<pid_t> pid;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &rest, &data)
            == Success
        && data != nullptr) {
        if (format == 32 && count == 1)
            pid = static_cast<pid_t>(*reinterpret_cast<unsigned long *>(data));
        XFree(data);
    }
    return pid;
}

enum class Outcome { Mapped, Ended, TimedOut };

// Waits for the MapNotify of a top-level window of the program. A program that ends first is
// reaped here.
Outcome waitForMap(Display *display, pid_t program)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(PatienceMs);
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect
                && owner(display, event.xmap.window) == program)
                return Outcome::Mapped;
        }
        if (waitpid(program, nullptr, WNOHANG) == program)
            return Outcome::Ended;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return Outcome::TimedOut;
        // Short slices only so that a program that dies early is noticed.
        poll(&connection, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <program> [<argument>...]\n", argv[0]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "map_waiter: cannot connect to the X server\n");
        return 2;
    }
    // Without a window manager the program's windows are children of the root window.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    std::signal(SIGTERM, passOn);
    std::signal(SIGINT, passOn);
    const auto started = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return 2;
    }
    if (pid == 0) {
        close(ConnectionNumber(display));
        execvp(argv[1], argv + 1);
        std::perror(argv[1]);
        _exit(127);
    }
    childPid = pid;

    if (const Outcome outcome = waitForMap(display, pid); outcome != Outcome::Mapped) {
        std::fprintf(stderr, "map_waiter: %s mapped no window\n", argv[1]);
        if (outcome == Outcome::TimedOut) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        return 1;
    }
    const std::chrono::duration<double, std::milli> mapped = Clock::now() - started;
    XCloseDisplay(display);
    std::printf("%.1f %d\n", mapped.count(), static_cast<int>(pid));
    std::fflush(stdout);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
