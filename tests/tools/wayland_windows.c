/* Native Wayland windows for the Wayland end-to-end tests, behaving the way
 * a careless or hostile client may.
 *
 *   wayland_windows storm N
 *       Maps and destroys N xdg-shell toplevels (title "storm I", app id
 *       "storm") as fast as the compositor lets it, a few alive at a time.
 *       Prints "storm N windows in S s".
 *   wayland_windows window TITLE APPID [SECONDS]
 *       Maps one toplevel with exactly these bytes as title and app id (they
 *       need not be UTF-8), keeps it mapped for SECONDS (600) or until killed
 *       or closed by the compositor.  Prints "mapped" once its first buffer
 *       is committed.
 *
 * Exits 1 with a message on a protocol error or a lost connection. */
#define _GNU_SOURCE
#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <wayland-client.h>

#include "xdg-shell-client-protocol.h"

static struct wl_display* display;
static struct wl_compositor* compositor;
static struct wl_shm* shm;
static struct xdg_wm_base* wm_base;

static double mono_s(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

/* Says why the connection failed and ends the program. */
static void fail_connection(const char* during)
{
    int err = wl_display_get_error(display);
    if (err == EPROTO) {
        const struct wl_interface* iface = NULL;
        uint32_t id = 0;
        uint32_t code = wl_display_get_protocol_error(display, &iface, &id);
        fprintf(stderr, "wayland_windows: protocol error %u on %s@%u during %s\n", code,
                iface ? iface->name : "?", id, during);
    } else {
        fprintf(stderr, "wayland_windows: connection lost during %s: %s\n", during,
                strerror(err ? err : errno));
    }
    exit(1);
}

static void dispatch(const char* during)
{
    if (wl_display_dispatch(display) < 0)
        fail_connection(during);
}

static void roundtrip(const char* during)
{
    if (wl_display_roundtrip(display) < 0)
        fail_connection(during);
}

static void wm_base_ping(void* data, struct xdg_wm_base* base, uint32_t serial)
{
    (void)data;
    xdg_wm_base_pong(base, serial);
}
static const struct xdg_wm_base_listener wm_base_listener = {wm_base_ping};

static void registry_global(void* data, struct wl_registry* registry, uint32_t name,
                            const char* iface, uint32_t version)
{
    (void)data;
    if (strcmp(iface, wl_compositor_interface.name) == 0)
        compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 1);
    else if (strcmp(iface, wl_shm_interface.name) == 0)
        shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
    else if (strcmp(iface, xdg_wm_base_interface.name) == 0) {
        wm_base = wl_registry_bind(registry, name, &xdg_wm_base_interface, version < 2 ? version : 2);
        xdg_wm_base_add_listener(wm_base, &wm_base_listener, NULL);
    }
}
static void registry_global_remove(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data, (void)registry, (void)name;
}
static const struct wl_registry_listener registry_listener = {registry_global, registry_global_remove};

struct buffer {
    struct wl_buffer* wl;
    int width, height;
    int busy;    /* the compositor holds it */
    int retired; /* replaced: goes once released */
};

static void buffer_release(void* data, struct wl_buffer* wl)
{
    struct buffer* b = data;
    b->busy = 0;
    if (b->retired) {
        wl_buffer_destroy(wl);
        free(b);
    }
}
static const struct wl_buffer_listener buffer_listener = {buffer_release};

/* A solid shm buffer; the pool and its memory go at once, the buffer keeps them. */
static struct buffer* make_buffer(int width, int height)
{
    int stride = width * 4;
    size_t size = (size_t)stride * height;
    int fd = memfd_create("wayland_windows", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, (off_t)size) < 0) {
        perror("wayland_windows: memfd");
        exit(1);
    }
    uint32_t* pixels = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        perror("wayland_windows: mmap");
        exit(1);
    }
    for (size_t i = 0; i < size / 4; ++i)
        pixels[i] = 0xff2a5d8f;
    munmap(pixels, size);
    struct wl_shm_pool* pool = wl_shm_create_pool(shm, fd, (int32_t)size);
    struct buffer* b = calloc(1, sizeof *b);
    b->wl = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    b->width = width;
    b->height = height;
    wl_buffer_add_listener(b->wl, &buffer_listener, b);
    wl_shm_pool_destroy(pool);
    close(fd);
    return b;
}

struct window {
    struct wl_surface* surface;
    struct xdg_surface* xdg;
    struct xdg_toplevel* toplevel;
    int width, height; /* last configured; 0: the client's choice */
    int configured;
    int closed;
};

static void toplevel_configure(void* data, struct xdg_toplevel* t, int32_t width, int32_t height,
                               struct wl_array* states)
{
    (void)t, (void)states;
    struct window* w = data;
    w->width = width;
    w->height = height;
}
static void toplevel_close(void* data, struct xdg_toplevel* t)
{
    (void)t;
    ((struct window*)data)->closed = 1;
}
/* Bound at version 2: no bounds or capabilities events come. */
static const struct xdg_toplevel_listener toplevel_listener = {
    .configure = toplevel_configure, .close = toplevel_close};

static void window_open(struct window* w, const struct xdg_surface_listener* listener,
                        const char* title, const char* app_id)
{
    memset(w, 0, sizeof *w);
    w->surface = wl_compositor_create_surface(compositor);
    w->xdg = xdg_wm_base_get_xdg_surface(wm_base, w->surface);
    xdg_surface_add_listener(w->xdg, listener, w);
    w->toplevel = xdg_surface_get_toplevel(w->xdg);
    xdg_toplevel_add_listener(w->toplevel, &toplevel_listener, w);
    xdg_toplevel_set_title(w->toplevel, title);
    xdg_toplevel_set_app_id(w->toplevel, app_id);
    /* The first commit, without a buffer, asks for the first configure. */
    wl_surface_commit(w->surface);
}

static void window_close(struct window* w)
{
    xdg_toplevel_destroy(w->toplevel);
    xdg_surface_destroy(w->xdg);
    wl_surface_destroy(w->surface);
    memset(w, 0, sizeof *w);
}

static void show(struct window* w, struct buffer* b)
{
    wl_surface_attach(w->surface, b->wl, 0, 0);
    wl_surface_damage(w->surface, 0, 0, b->width, b->height);
    wl_surface_commit(w->surface);
    b->busy = 1;
}

/* --- storm ----------------------------------------------------------------- */

enum { STORM_ALIVE = 4 };
static struct buffer* storm_buffer; /* one small buffer shown by every window */

static void storm_configure(void* data, struct xdg_surface* xdg, uint32_t serial)
{
    struct window* w = data;
    xdg_surface_ack_configure(xdg, serial);
    if (!w->configured) {
        show(w, storm_buffer);
        w->configured = 1;
    }
}
static const struct xdg_surface_listener storm_listener = {storm_configure};

static int storm(long count)
{
    struct window slots[STORM_ALIVE] = {0};
    long opened = 0, mapped = 0;
    char title[32];
    storm_buffer = make_buffer(32, 32);
    double start = mono_s();
    while (mapped < count) {
        for (int i = 0; i < STORM_ALIVE && opened < count; ++i) {
            if (slots[i].surface)
                continue;
            snprintf(title, sizeof title, "storm %ld", ++opened);
            window_open(&slots[i], &storm_listener, title, "storm");
            /* Lets the compositor drain what it sent us, so it never finds
             * our queue full and drops us as a flooding client. */
            if (opened % 100 == 0)
                roundtrip("storm");
        }
        dispatch("storm");
        /* Mapped ones go at once: the commit with a buffer is already queued
         * ahead of the destroy. */
        for (int i = 0; i < STORM_ALIVE; ++i) {
            if (slots[i].surface && slots[i].configured) {
                window_close(&slots[i]);
                ++mapped;
            }
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN)
            fail_connection("storm");
    }
    roundtrip("storm");
    printf("storm %ld windows in %.2f s\n", count, mono_s() - start);
    return 0;
}

/* --- window ---------------------------------------------------------------- */

static struct buffer* shown;

static void window_configure(void* data, struct xdg_surface* xdg, uint32_t serial)
{
    struct window* w = data;
    xdg_surface_ack_configure(xdg, serial);
    int width = w->width > 0 ? w->width : 320, height = w->height > 0 ? w->height : 200;
    if (!shown || shown->width != width || shown->height != height) {
        if (shown) {
            shown->retired = 1;
            if (!shown->busy)
                buffer_release(shown, shown->wl);
        }
        shown = make_buffer(width, height);
    }
    show(w, shown);
    if (!w->configured) {
        w->configured = 1;
        printf("mapped\n");
        fflush(stdout);
    }
}
static const struct xdg_surface_listener window_listener = {window_configure};

static int one_window(const char* title, const char* app_id, double seconds)
{
    struct window w;
    window_open(&w, &window_listener, title, app_id);
    double end = mono_s() + seconds;
    int fd = wl_display_get_fd(display);
    while (!w.closed) {
        while (wl_display_prepare_read(display) != 0)
            if (wl_display_dispatch_pending(display) < 0)
                fail_connection("window");
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            fail_connection("window");
        }
        double left = end - mono_s();
        if (left <= 0) {
            wl_display_cancel_read(display);
            break;
        }
        struct pollfd pfd = {fd, POLLIN, 0};
        int ready = poll(&pfd, 1, left > 60 ? 60000 : (int)(left * 1000) + 1);
        if (ready > 0) {
            if (wl_display_read_events(display) < 0)
                fail_connection("window");
        } else {
            wl_display_cancel_read(display);
            if (ready < 0 && errno != EINTR) {
                perror("wayland_windows: poll");
                return 1;
            }
        }
        if (wl_display_dispatch_pending(display) < 0)
            fail_connection("window");
    }
    if (w.closed)
        printf("closed\n");
    window_close(&w);
    roundtrip("window");
    return 0;
}

static int usage(void)
{
    fprintf(stderr, "usage: wayland_windows storm N\n"
                    "       wayland_windows window TITLE APPID [SECONDS]\n");
    return 2;
}

int main(int argc, char** argv)
{
    char* rest;
    if (argc < 2)
        return usage();
    int is_storm = strcmp(argv[1], "storm") == 0 && argc == 3;
    int is_window = strcmp(argv[1], "window") == 0 && (argc == 4 || argc == 5);
    if (!is_storm && !is_window)
        return usage();
    long count = 0;
    double seconds = 600;
    if (is_storm && ((count = strtol(argv[2], &rest, 10)) < 0 || *rest || !*argv[2]))
        return usage();
    if (is_window && argc == 5 && ((seconds = strtod(argv[4], &rest)) < 0 || *rest || !*argv[4]))
        return usage();

    display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "wayland_windows: cannot connect to the Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    roundtrip("setup");
    if (!compositor || !shm || !wm_base) {
        fprintf(stderr, "wayland_windows: the compositor lacks wl_compositor, wl_shm or xdg_wm_base\n");
        return 1;
    }
    return is_storm ? storm(count) : one_window(argv[2], argv[3], seconds);
}
