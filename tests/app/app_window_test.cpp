// Runs the real program under a private X server (Xvfb picks a free display itself, so runs in
// parallel never meet), waits for its window to be mapped with the layout's caption and size,
// closes it the way a window manager's close box does (WM_DELETE_WINDOW) and expects the
// program to end with exit code 0. It also reports, without judging them, how long the window
// took to appear and how much memory the idle program holds.
//
// Usage: app_window_test <program> [<working directory, used when it exists>]
#include "child_process.h"
#include "x_server.h"

#include <X11/Xutil.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

using Clock = ChildProcess::Clock;
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

bool IsFolder(const char *path)
{
    struct stat info
    {
    };
    return path && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
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
    const XServer server;
    if (!server.isRunning()) {
        Check(false, "Xvfb starts and the test connects to it");
        return 1;
    }
    Display *display = server.display();

    // The program is found before it starts in its own working directory.
    char *const programPath = realpath(argv[1], nullptr);
    if (!programPath) {
        Check(false, std::string("the program ") + argv[1] + " exists");
        return 1;
    }
    const auto started = Clock::now();
    const std::unique_ptr<ChildProcess> program =
        ChildProcess::start({programPath}, IsFolder(argc > 2 ? argv[2] : nullptr) ? argv[2] : "",
                            {{"DISPLAY", server.displayName()}, {"QT_QPA_PLATFORM", ""}});
    std::free(programPath);
    std::optional<Window> window;
    while (!window && !program->status() && Clock::now() < started + Patience)
        window = server.waitForWindow(Caption, 5ms);
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
        Check(server.acceptsDeleteWindow(*window), "it takes part in WM_DELETE_WINDOW");

        // Idle: the window is up and nothing is asked of the program.
        std::this_thread::sleep_for(1s);
        std::printf("measured: idle resident memory (VmRSS) %s\n",
                    ResidentMemory(program->pid()).c_str());

        server.sendDeleteWindow(*window);
        const std::optional<int> status = program->waitFor(Patience);
        Check(status.has_value(), "the program ends when its window is closed");
        if (status) {
            Check(WIFEXITED(*status) && WEXITSTATUS(*status) == 0,
                  "it ends with exit code 0 (status " + std::to_string(*status) + ")");
        }
    } else if (const std::optional<int> status = program->status()) {
        std::printf("the program ended early with status %d\n", *status);
    }
    return failed ? 1 : 0;
}
