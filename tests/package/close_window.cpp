// close_window WINDOW-ID: asks a top-level window on $DISPLAY to close the way a window
// manager's close box does, so that the program ends as it would for a user.
#include "x_server.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
        return 1;
    }
    const bool sent = SendDeleteWindow(display, std::strtoul(argv[1], nullptr, 0));
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
