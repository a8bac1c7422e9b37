#include "x_server.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <chrono>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Bound for the server to name its display; reaching it means the run failed.
constexpr int StartPatienceMs = 30000;

// A window may go between the moment the test finds it and the moment it asks about it; Xlib's
// default handler would end the test then. The query simply finds nothing.
int IgnoreError(Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

XServer::XServer()
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    m_server = ChildProcess::start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                    "1280x1024x24", "-nolisten", "tcp"});
    close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, StartPatienceMs) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty())
        return;
    m_name = ":" + number;
    m_display = XOpenDisplay(m_name.c_str());
    XSetErrorHandler(IgnoreError);
}

XServer::~XServer()
{
    if (m_display)
        XCloseDisplay(m_display);
}

std::string XServer::caption(Window window) const
{
    const Atom name = XInternAtom(m_display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long rest = 0;
    unsigned char *data = nullptr;
    std::string text;
    if (XGetWindowProperty(m_display, window, name, 0, 1024, False, utf8, &type, &format, &count,
                           &rest, &data)
            == Success
        && data) {
        text.assign(reinterpret_cast<const char *>(data), count);
        XFree(data);
    }
    return text;
}

std::vector<Window> XServer::mappedWindows(const std::string &wanted) const
{
    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> found;
    if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(m_display, children[i], &attributes)
            && attributes.map_state == IsViewable && caption(children[i]) == wanted)
            found.push_back(children[i]);
    }
    if (children)
        XFree(children);
    return found;
}

std::optional<Window> XServer::waitForWindow(const std::string &wanted,
                                             ChildProcess::Clock::duration limit) const
{
    const auto deadline = ChildProcess::Clock::now() + limit;
    for (;;) {
        const std::vector<Window> found = mappedWindows(wanted);
        if (found.size() == 1)
            return found.front();
        if (ChildProcess::Clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool XServer::acceptsDeleteWindow(Window window) const
{
    const Atom deleteWindow = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
    Atom *protocols = nullptr;
    int count = 0;
    bool accepts = false;
    if (XGetWMProtocols(m_display, window, &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            accepts = accepts || protocols[i] == deleteWindow;
        XFree(protocols);
    }
    return accepts;
}

bool SendDeleteWindow(Display *display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
    XFlush(display);
    return sent;
}

void XServer::sendDeleteWindow(Window window) const
{
    SendDeleteWindow(m_display, window);
}

std::vector<XServer::Colour> XServer::pixels(Window window, int x, int y, int width,
                                             int height) const
{
    std::vector<Colour> colours;
    XImage *image =
        XGetImage(m_display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return colours;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            colours.push_back({int((pixel & image->red_mask) >> 16),
                               int((pixel & image->green_mask) >> 8),
                               int(pixel & image->blue_mask)});
        }
    }
    XDestroyImage(image);
    return colours;
}

bool XServer::xdotool(const std::vector<std::string> &arguments) const
{
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const auto tool = ChildProcess::start(command, {}, {{"DISPLAY", m_name}});
    const std::optional<int> status = tool->waitFor(std::chrono::seconds(30));
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}
