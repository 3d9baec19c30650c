/* Drops a text/uri-list on an X window as a file manager does: XdndEnter,
 * XdndPosition, XdndDrop, answering the target's selection request with the
 * list. Usage: x_drop_files WINDOW-ID X Y LIST, (X, Y) in window coordinates,
 * display from $DISPLAY. Fails when the window is not XdndAware, refuses the
 * drop or does not finish it within 10 s. */
#define _POSIX_C_SOURCE 200809L /* nanosleep */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

static Display* display;
static Window source, target;

static Atom atom(const char* name) { return XInternAtom(display, name, False); }

static void send_message(const char* type, long l1, long l2, long l3, long l4) {
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = atom(type);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)source;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

/* Waits for the client message TYPE to the source, serving the list to
 * selection requests meanwhile; exits on a time-out. */
static XClientMessageEvent wait_for(const char* type, const char* list) {
    const time_t deadline = time(NULL) + 10;
    const struct timespec pause = {0, 10000000};
    XEvent event;
    while (time(NULL) < deadline) {
        if (!XPending(display)) {
            nanosleep(&pause, NULL);
            continue;
        }
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == atom(type))
            return event.xclient;
        if (event.type != SelectionRequest) continue;
        const XSelectionRequestEvent request = event.xselectionrequest;
        XEvent reply = {0};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.time = request.time;
        if (request.target == atom("text/uri-list")) {
            XChangeProperty(display, request.requestor, request.property, request.target, 8,
                            PropModeReplace, (const unsigned char*)list, (int)strlen(list));
            reply.xselection.property = request.property;
        }
        XSendEvent(display, request.requestor, False, NoEventMask, &reply);
        XFlush(display);
    }
    fprintf(stderr, "x_drop_files: no %s from the window within 10 s\n", type);
    exit(1);
}

int main(int argc, char** argv) {
    display = XOpenDisplay(NULL);
    target = argc == 5 ? (Window)strtoul(argv[1], NULL, 0) : 0;
    if (display == NULL || target == 0) {
        fprintf(stderr, "usage: %s WINDOW-ID X Y LIST, with an X display\n", argv[0]);
        return 2;
    }
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    long version = 0;
    if (XGetWindowProperty(display, target, atom("XdndAware"), 0, 1, False, XA_ATOM, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1)
        version = (long)*(Atom*)data;
    XFree(data);
    if (version < 2) {
        fprintf(stderr, "%s: the window is not XdndAware\n", argv[0]);
        return 1;
    }
    source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, atom("XdndSelection"), source, CurrentTime);
    int x, y;
    Window child;
    XTranslateCoordinates(display, target, DefaultRootWindow(display), atoi(argv[2]), atoi(argv[3]),
                          &x, &y, &child);
    send_message("XdndEnter", (version < 5 ? version : 5) << 24, (long)atom("text/uri-list"), 0, 0);
    send_message("XdndPosition", 0, ((long)x << 16) | y, CurrentTime, (long)atom("XdndActionCopy"));
    if (!(wait_for("XdndStatus", argv[4]).data.l[1] & 1)) {
        send_message("XdndLeave", 0, 0, 0, 0);
        fprintf(stderr, "%s: the window refuses the drop\n", argv[0]);
        return 1;
    }
    send_message("XdndDrop", 0, CurrentTime, 0, 0);
    wait_for("XdndFinished", argv[4]);
    XCloseDisplay(display);
    return 0;
}
