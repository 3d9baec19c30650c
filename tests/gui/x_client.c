/* On $DISPLAY, "x_close_window WINDOW-ID" sends WM_DELETE_WINDOW (Debian 12's xdotool has no
 * windowclose); "x_drop_files WINDOW-ID X Y LIST" drops a text/uri-list at (X, Y) by XDND. */
#define _POSIX_C_SOURCE 200809L /* nanosleep */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

static Display* display;
static Window target;
static void give_up(const char* why, const char* what) {
    fprintf(stderr, "x_drop_files: %s%s\n", why, what);
    exit(1);
}
static Atom atom(const char* name) { return XInternAtom(display, name, False); }

static Status send_message(const char* type, long l0, long l1, long l2, long l3, long l4) {
    XEvent event = {
        .xclient = {
            ClientMessage, 0, False, display, target, atom(type), 32, {.l = {l0, l1, l2, l3, l4}}}};
    const Status sent = XSendEvent(display, target, False, NoEventMask, &event);
    XSync(display, False);
    return sent;
}

/* Waits for the message TYPE, serving LIST to selection requests; returns its second word. */
static long wait_for(const char* type, const char* list) {
    const time_t deadline = time(NULL) + 10;
    const struct timespec pause = {0, 10000000};
    XEvent event;
    while (time(NULL) < deadline) {
        if (!XPending(display) && nanosleep(&pause, NULL) == 0) continue;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == atom(type))
            return event.xclient.data.l[1];
        if (event.type != SelectionRequest) continue;
        const XSelectionRequestEvent r = event.xselectionrequest;
        XEvent reply = {.xselection = {SelectionNotify, 0, False, display, r.requestor, r.selection,
                                       r.target, None, r.time}};
        if (r.target == atom("text/uri-list")) {
            XChangeProperty(display, r.requestor, r.property, r.target, 8, PropModeReplace,
                            (const unsigned char*)list, (int)strlen(list));
            reply.xselection.property = r.property;
        }
        XSendEvent(display, r.requestor, False, NoEventMask, &reply);
        XFlush(display);
    }
    give_up("no reply from the window within 10 s: ", type);
    return 0;
}

int main(int argc, char** argv) {
    display = XOpenDisplay(NULL);
    target = argc == 2 || argc == 5 ? (Window)strtoul(argv[1], NULL, 0) : 0;
    if (display == NULL || target == 0)
        give_up("usage: WINDOW-ID [X Y LIST], with an X display", "");
    if (argc == 2)
        return !send_message("WM_PROTOCOLS", (long)atom("WM_DELETE_WINDOW"), CurrentTime, 0, 0, 0);
    Atom type, *aware = NULL;
    int format, x, y;
    unsigned long count, after;
    XGetWindowProperty(display, target, atom("XdndAware"), 0, 1, False, XA_ATOM, &type, &format,
                       &count, &after, (unsigned char**)&aware);
    const long version = aware && count == 1 ? (long)*aware : 0;
    XFree(aware);
    if (version < 2) give_up("the window is not XdndAware", "");
    const Window root = DefaultRootWindow(display),
                 source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, atom("XdndSelection"), source, CurrentTime);
    Window child;
    XTranslateCoordinates(display, target, root, atoi(argv[2]), atoi(argv[3]), &x, &y, &child);
    send_message("XdndEnter", (long)source, (version < 5 ? version : 5) << 24,
                 (long)atom("text/uri-list"), 0, 0);
    send_message("XdndPosition", (long)source, 0, ((long)x << 16) | y, CurrentTime,
                 (long)atom("XdndActionCopy"));
    if (!(wait_for("XdndStatus", argv[4]) & 1)) give_up("the window refuses the drop", "");
    send_message("XdndDrop", (long)source, 0, CurrentTime, 0, 0);
    wait_for("XdndFinished", argv[4]);
    XCloseDisplay(display);
    return 0;
}
