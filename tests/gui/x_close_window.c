/* Asks an X window to close as a window manager's close button does, with a
 * WM_DELETE_WINDOW client message (Debian 12's xdotool has no "windowclose").
 * Usage: x_close_window WINDOW-ID, display from $DISPLAY. */
#include <stdio.h>
#include <stdlib.h>

#include <X11/Xlib.h>

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(NULL);
    const Window window = argc == 2 ? (Window)strtoul(argv[1], NULL, 0) : 0;
    if (display == NULL || window == 0) {
        fprintf(stderr, "usage: %s WINDOW-ID, with an X display\n", argv[0]);
        return 2;
    }
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
