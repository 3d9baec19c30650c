/* Asks an X window to close the way a window manager's close button does:
 * a WM_DELETE_WINDOW client message. The xdotool of Debian 12 has no
 * "windowclose", and the tests run without a window manager.
 * Usage: x_close_window WINDOW-ID (decimal or 0x hex), display from $DISPLAY.
 * Fails when the window does not take part in WM_DELETE_WINDOW. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
        return 2;
    }
    char* end = NULL;
    const unsigned long id = strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || id == 0) {
        fprintf(stderr, "%s: not a window id: %s\n", argv[0], argv[1]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "%s: cannot open display \"%s\"\n", argv[0], XDisplayName(NULL));
        return 1;
    }
    const Window window = (Window)id;
    Atom protocols_atom = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom delete_atom = XInternAtom(display, "WM_DELETE_WINDOW", False);

    Atom* protocols = NULL;
    int count = 0;
    int listed = 0;
    if (XGetWMProtocols(display, window, &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            if (protocols[i] == delete_atom) listed = 1;
        XFree(protocols);
    }
    if (!listed) {
        fprintf(stderr, "%s: window 0x%lx does not list WM_DELETE_WINDOW in WM_PROTOCOLS\n",
                argv[0], id);
        XCloseDisplay(display);
        return 1;
    }

    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols_atom;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)delete_atom;
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    if (!sent) {
        fprintf(stderr, "%s: XSendEvent to 0x%lx failed\n", argv[0], id);
        return 1;
    }
    return 0;
}
