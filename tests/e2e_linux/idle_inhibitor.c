/* A stand-in for a video player: a small grey window that holds an idle inhibitor for as long
   as it runs. Prints "inhibiting" once the window is mapped and the inhibitor made. */
#define _GNU_SOURCE /* memfd_create */
#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

enum { Width = 200, Height = 150 };

static struct wl_compositor* compositor;
static struct wl_shm* shm;
static struct xdg_wm_base* wmBase;
static struct zwp_idle_inhibit_manager_v1* inhibitManager;
static int configured;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    (void)data;
    (void)version;
    if (strcmp(interface, wl_compositor_interface.name) == 0)
        compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 1);
    else if (strcmp(interface, wl_shm_interface.name) == 0)
        shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
    else if (strcmp(interface, xdg_wm_base_interface.name) == 0)
        wmBase = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
    else if (strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0)
        inhibitManager = wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1);
}
static void globalRemoved(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}
static const struct wl_registry_listener registryListener = {global, globalRemoved};

static void ping(void* data, struct xdg_wm_base* base, uint32_t serial)
{
    (void)data;
    xdg_wm_base_pong(base, serial);
}
static const struct xdg_wm_base_listener wmBaseListener = {ping};

static void surfaceConfigure(void* data, struct xdg_surface* surface, uint32_t serial)
{
    (void)data;
    xdg_surface_ack_configure(surface, serial);
    configured = 1;
}
static const struct xdg_surface_listener surfaceListener = {surfaceConfigure};

static struct wl_buffer* greyBuffer(void)
{
    const int stride = Width * 4;
    const int size = stride * Height;
    int fd = memfd_create("idle-inhibitor", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) < 0)
        return NULL;
    void* pixels = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED)
        return NULL;
    memset(pixels, 0x80, size);
    munmap(pixels, size);
    struct wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    struct wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, Width, Height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

int main(void)
{
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "idle_inhibitor: no Wayland compositor\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, NULL);
    wl_display_roundtrip(display);
    if (!compositor || !shm || !wmBase || !inhibitManager) {
        fprintf(stderr, "idle_inhibitor: the compositor lacks a needed global\n");
        return 1;
    }
    xdg_wm_base_add_listener(wmBase, &wmBaseListener, NULL);
    struct wl_surface* surface = wl_compositor_create_surface(compositor);
    struct xdg_surface* xdgSurface = xdg_wm_base_get_xdg_surface(wmBase, surface);
    xdg_surface_add_listener(xdgSurface, &surfaceListener, NULL);
    struct xdg_toplevel* toplevel = xdg_surface_get_toplevel(xdgSurface);
    xdg_toplevel_set_title(toplevel, "idle inhibitor");
    wl_surface_commit(surface);
    while (!configured)
        if (wl_display_dispatch(display) < 0)
            return 1;
    struct wl_buffer* buffer = greyBuffer();
    if (!buffer)
        return 1;
    wl_surface_attach(surface, buffer, 0, 0);
    wl_surface_commit(surface);
    /* The compositor honours the inhibitor while the surface is visible. */
    zwp_idle_inhibit_manager_v1_create_inhibitor(inhibitManager, surface);
    wl_display_roundtrip(display);
    printf("inhibiting\n");
    fflush(stdout);
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
