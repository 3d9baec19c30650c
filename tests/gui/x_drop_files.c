/* Drops a text/uri-list on an X window the way a file manager does: the
 * XDND handshake (XdndEnter, XdndPosition, XdndDrop), then the selection
 * request that the target makes answered with the list.
 * Usage: x_drop_files WINDOW-ID X Y LIST, with (X, Y) in the window's own
 * coordinates and LIST the text/uri-list itself; display from $DISPLAY.
 * Fails when the window is not XdndAware, refuses the drop, or does not
 * finish it within 10 s. */
#define _POSIX_C_SOURCE 200809L /* nanosleep */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

static Display* display;
static Window source;

static void send_message(Window target, Atom type, long l1, long l2, long l3, long l4) {
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)source;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

/* The next client message of that type sent to the source, answering the
 * target's selection requests meanwhile. 0 on time-out. */
static int wait_for(Atom type, const char* list, Atom uri_list, XEvent* out) {
    const time_t deadline = time(NULL) + 10;
    while (time(NULL) < deadline) {
        if (!XPending(display)) {
            const struct timespec pause = {0, 10000000};
            nanosleep(&pause, NULL);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) {
            const XSelectionRequestEvent* request = &event.xselectionrequest;
            XEvent reply;
            memset(&reply, 0, sizeof reply);
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request->requestor;
            reply.xselection.selection = request->selection;
            reply.xselection.target = request->target;
            reply.xselection.time = request->time;
            reply.xselection.property = None;
            if (request->target == uri_list) {
                XChangeProperty(display, request->requestor, request->property, uri_list, 8,
                                PropModeReplace, (const unsigned char*)list, (int)strlen(list));
                reply.xselection.property = request->property;
            }
            XSendEvent(display, request->requestor, False, NoEventMask, &reply);
            XFlush(display);
        } else if (event.type == ClientMessage && event.xclient.message_type == type) {
            *out = event;
            return 1;
        }
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: %s WINDOW-ID X Y LIST\n", argv[0]);
        return 2;
    }
    char* end = NULL;
    const Window target = (Window)strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || target == 0) {
        fprintf(stderr, "%s: not a window id: %s\n", argv[0], argv[1]);
        return 2;
    }
    display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "%s: cannot open display \"%s\"\n", argv[0], XDisplayName(NULL));
        return 1;
    }
    const Atom aware = XInternAtom(display, "XdndAware", False);
    const Atom enter = XInternAtom(display, "XdndEnter", False);
    const Atom position = XInternAtom(display, "XdndPosition", False);
    const Atom status = XInternAtom(display, "XdndStatus", False);
    const Atom leave = XInternAtom(display, "XdndLeave", False);
    const Atom drop = XInternAtom(display, "XdndDrop", False);
    const Atom finished = XInternAtom(display, "XdndFinished", False);
    const Atom selection = XInternAtom(display, "XdndSelection", False);
    const Atom copy = XInternAtom(display, "XdndActionCopy", False);
    const Atom uri_list = XInternAtom(display, "text/uri-list", False);

    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = NULL;
    long version = 0;
    if (XGetWindowProperty(display, target, aware, 0, 1, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == Success &&
        data != NULL && count == 1)
        version = (long)*(Atom*)data;
    if (data != NULL) XFree(data);
    if (version < 2) {
        fprintf(stderr, "%s: window 0x%lx is not XdndAware\n", argv[0], (unsigned long)target);
        return 1;
    }
    if (version > 5) version = 5;

    source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, selection, source, CurrentTime);
    int root_x = 0, root_y = 0;
    Window child;
    XTranslateCoordinates(display, target, DefaultRootWindow(display), atoi(argv[2]), atoi(argv[3]),
                          &root_x, &root_y, &child);

    XEvent reply;
    send_message(target, enter, version << 24, (long)uri_list, 0, 0);
    send_message(target, position, 0, ((long)root_x << 16) | root_y, CurrentTime, (long)copy);
    if (!wait_for(status, argv[4], uri_list, &reply)) {
        fprintf(stderr, "%s: no XdndStatus from 0x%lx\n", argv[0], (unsigned long)target);
        return 1;
    }
    if (!(reply.xclient.data.l[1] & 1)) {
        send_message(target, leave, 0, 0, 0, 0);
        fprintf(stderr, "%s: window 0x%lx refuses the drop\n", argv[0], (unsigned long)target);
        return 1;
    }
    send_message(target, drop, 0, CurrentTime, 0, 0);
    if (!wait_for(finished, argv[4], uri_list, &reply)) {
        fprintf(stderr, "%s: the drop on 0x%lx did not finish\n", argv[0], (unsigned long)target);
        return 1;
    }
    XCloseDisplay(display);
    return 0;
}
