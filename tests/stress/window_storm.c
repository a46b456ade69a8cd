/* Creates, activates and destroys COUNT top-level windows with hostile
 * titles and bogus _NET_WM_PID values, for tests/stress/run.sh.
 *
 *   window_storm COUNT [KEEP]
 *
 * KEEP windows (default 4) stay mapped at a time; each new one is mapped,
 * activated through the window manager (_NET_ACTIVE_WINDOW, source 2) and
 * waited for briefly, then the oldest is destroyed.  Every tenth window is
 * destroyed right after its activation request, so that an observer asks
 * about a window that is already gone.
 *
 * Titles: 1 MB of text (one window in 100), invalid UTF-8 (a lone surrogate
 * ED A0 80, a code point above U+10FFFF F4 90 80 80, overlong C0 AF, a cut
 * sequence), newlines, ESC sequences, embedded NUL bytes, and a WM_NAME in
 * Latin-1 that disagrees with _NET_WM_NAME.  _NET_WM_PID: 0, 1, -1, a pid
 * above pid_max, a pid that has ended, the wrong type or format, several
 * values, none.
 *
 * Prints "windows N activated A timeouts T seconds S" at the end. */
#define _GNU_SOURCE
#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

static Display* dpy;
static Window root;
static Atom a_active, a_pid, a_net_name, a_utf8;

static long long mono_us(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

static int ignore_x_error(Display* d, XErrorEvent* e)
{
    (void)d;
    (void)e;
    return 0;
}

static Window active_window(void)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = NULL;
    Window w = None;
    if (XGetWindowProperty(dpy, root, a_active, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &after, &data) == Success &&
        data && format == 32 && count == 1)
        w = (Window) * (unsigned long*)data;
    if (data)
        XFree(data);
    return w;
}

static void activate(Window w)
{
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = a_active;
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(dpy);
}

/* Waits for an event on the connection or the deadline; drains the queue. */
static int wait_until(Window w, int want_active, long long deadline)
{
    for (;;) {
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (!want_active && e.type == MapNotify && e.xmap.window == w)
                return 1;
        }
        if (want_active && active_window() == w)
            return 1;
        const long long left = deadline - mono_us();
        if (left <= 0)
            return 0;
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, (int)(left / 1000) + 1);
    }
}

/* A pid that existed and has ended. */
static unsigned long ended_pid(void)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, NULL, 0);
    return (unsigned long)child;
}

static const char* const hostile_titles[] = {
    "lone surrogate \xED\xA0\x80 here",
    "beyond unicode \xF4\x90\x80\x80 here",
    "overlong slash \xC0\xAF and \xE0\x80\xAF",
    "cut at the end \xE2\x82",
    "two\nlines\r\nand a tab\t",
    "escape \x1b[31mred\x1b[0m \x1b]0;retitled\x07 bell",
    "C1 controls \xC2\x85\xC2\x9B and separators \xE2\x80\xA8\xE2\x80\xA9",
    "",
    "\xFF\xFE\xFD",
};
enum { kHostileTitles = sizeof hostile_titles / sizeof hostile_titles[0] };

/* Title bytes of window i; *len set.  Some contain NUL bytes. */
static const char* title_for(long i, size_t* len, char* scratch, size_t scratch_size,
                             const char* huge, size_t huge_len)
{
    if (i % 100 == 50) {
        *len = huge_len;
        return huge;
    }
    if (i % 7 == 3) {  /* embedded NULs: what follows must not vanish into C strings */
        const int n = snprintf(scratch, scratch_size, "nul%ld", i);
        memcpy(scratch + n, "\0after\0\0end", 11);
        *len = (size_t)n + 11;
        return scratch;
    }
    const char* t = hostile_titles[i % kHostileTitles];
    *len = strlen(t);
    return t;
}

static void set_pid(Window w, long i, unsigned long gone)
{
    unsigned long values[3] = {0, 0, 0};
    switch (i % 9) {
    case 0: values[0] = 0; break;
    case 1: values[0] = 1; break;
    case 2: values[0] = 0xFFFFFFFFul; break;          /* -1 */
    case 3: values[0] = 4194305; break;               /* above any pid_max */
    case 4: values[0] = gone; break;
    case 5: {                                         /* wrong type and format */
        XChangeProperty(dpy, w, a_pid, XA_STRING, 8, PropModeReplace,
                        (const unsigned char*)"1234", 4);
        return;
    }
    case 6:                                           /* several values */
        values[0] = 1;
        values[1] = (unsigned long)getpid();
        values[2] = 0xFFFFFFFFul;
        XChangeProperty(dpy, w, a_pid, XA_CARDINAL, 32, PropModeReplace,
                        (const unsigned char*)values, 3);
        return;
    case 7: return;                                   /* none */
    default: values[0] = (unsigned long)getpid(); break;
    }
    XChangeProperty(dpy, w, a_pid, XA_CARDINAL, 32, PropModeReplace,
                    (const unsigned char*)values, 1);
}

static Window make_window(long i, const char* huge, size_t huge_len, unsigned long gone)
{
    Window w = XCreateSimpleWindow(dpy, root, 40 + (int)(i % 20) * 10, 40, 200, 80, 0, 0, 0xcccccc);
    char scratch[64];
    size_t len = 0;
    const char* title = title_for(i, &len, scratch, sizeof scratch, huge, huge_len);
    XChangeProperty(dpy, w, a_net_name, a_utf8, 8, PropModeReplace, (const unsigned char*)title,
                    (int)len);
    /* WM_NAME as Latin-1 STRING, not always the same text. */
    XChangeProperty(dpy, w, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    (const unsigned char*)(i % 2 ? title : "\xE9t\xE9 \x1b\n"),
                    i % 2 ? (int)len : 6);
    XClassHint hint = {(char*)"storm\n\x1b", (char*)"\xED\xA0\x80Storm"};
    XSetClassHint(dpy, w, &hint);
    XWMHints wm = {.flags = InputHint, .input = True};
    XSetWMHints(dpy, w, &wm);
    set_pid(w, i, gone);
    XSelectInput(dpy, w, StructureNotifyMask);
    XMapWindow(dpy, w);
    return w;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: window_storm COUNT [KEEP]\n");
        return 2;
    }
    const long count = atol(argv[1]);
    int keep = argc > 2 ? atoi(argv[2]) : 4;
    if (keep < 1)
        keep = 1;
    if (keep > 64)
        keep = 64;
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "window_storm: cannot open display\n");
        return 1;
    }
    XSetErrorHandler(ignore_x_error);
    root = DefaultRootWindow(dpy);
    a_active = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    a_pid = XInternAtom(dpy, "_NET_WM_PID", False);
    a_net_name = XInternAtom(dpy, "_NET_WM_NAME", False);
    a_utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    XSelectInput(dpy, root, PropertyChangeMask);  /* wakes us when the active window changes */

    const size_t huge_len = 1u << 20;
    char* huge = malloc(huge_len);
    if (!huge)
        return 1;
    for (size_t k = 0; k < huge_len; ++k)
        huge[k] = "ab\xC3\xA9-\n "[k % 7];  /* some of it valid, cut mid-sequence at the end */

    const unsigned long gone = ended_pid();
    Window ring[64] = {0};
    long activated = 0, timeouts = 0;
    const long long start = mono_us();
    for (long i = 0; i < count; ++i) {
        const int slot = (int)(i % keep);
        if (ring[slot]) {
            XDestroyWindow(dpy, ring[slot]);
            ring[slot] = 0;
        }
        Window w = make_window(i, huge, huge_len, gone);
        XFlush(dpy);
        if (!wait_until(w, 0, mono_us() + 500000)) {
            ++timeouts;
            XDestroyWindow(dpy, w);
            continue;
        }
        activate(w);
        if (i % 10 == 9) {
            XDestroyWindow(dpy, w);  /* gone before anyone can look at it */
            XFlush(dpy);
            continue;
        }
        if (wait_until(w, 1, mono_us() + 200000))
            ++activated;
        else
            ++timeouts;
        ring[slot] = w;
    }
    for (int k = 0; k < keep; ++k)
        if (ring[k])
            XDestroyWindow(dpy, ring[k]);
    XSync(dpy, False);
    printf("windows %ld activated %ld timeouts %ld seconds %.1f\n", count, activated, timeouts,
           (double)(mono_us() - start) / 1e6);
    free(huge);
    XCloseDisplay(dpy);
    return 0;
}
