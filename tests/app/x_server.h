// A private X server for a whole-program test (Xvfb picks a free display itself, so runs in
// parallel never meet), the test's own connection to it, and what the tests look at and do
// there: the top-level windows by caption, their pixels, a window manager's close, and real
// input through xdotool.
#pragma once

#include "child_process.h"

#include <X11/Xlib.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Asks a top-level window to close the way a window manager's close box does; false when the
// message could not be sent.
bool SendDeleteWindow(Display *display, Window window);

class XServer
{
public:
    struct Colour
    {
        int red, green, blue;
        bool operator==(const Colour &) const = default;
    };

    XServer();
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    // False when Xvfb did not start or the test could not connect to it.
    bool isRunning() const { return m_display != nullptr; }
    const std::string &displayName() const { return m_name; }
    Display *display() const { return m_display; }

    // The top-level windows now mapped whose caption (_NET_WM_NAME) is exactly this.
    std::vector<Window> mappedWindows(const std::string &caption) const;
    // Waits at most that long for exactly one such window; none when there is not one then.
    std::optional<Window> waitForWindow(const std::string &caption,
                                        ChildProcess::Clock::duration limit) const;
    std::string caption(Window window) const;

    bool acceptsDeleteWindow(Window window) const;
    // What a window manager's close box does.
    void sendDeleteWindow(Window window) const;

    // The colours of a rectangle of a window, row by row.
    std::vector<Colour> pixels(Window window, int x, int y, int width, int height) const;

    // Runs xdotool with these arguments on this display; true when it succeeded.
    bool xdotool(const std::vector<std::string> &arguments) const;

private:
    std::unique_ptr<ChildProcess> m_server;
    std::string m_name;
    Display *m_display = nullptr;
};
