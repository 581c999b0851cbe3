// Ends a program as soon as the request that maps its first window has gone
// to the X server (the first write on the X connection after
// xcb_map_window), so that a profile of it covers exactly exec to map. Not
// part of the build; for the start-up figures in docs/performance.md:
//
//   gcc -O2 -shared -fPIC -o /tmp/exit_at_map.so bench/exit_at_map.c -lxcb
//   LD_PRELOAD=/tmp/exit_at_map.so valgrind --tool=callgrind ./banterly
#define _GNU_SOURCE
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>
#include <xcb/xcb.h>

static int mapFd = -1;

xcb_void_cookie_t xcb_map_window(xcb_connection_t* c, xcb_window_t w)
{
    xcb_void_cookie_t (*real)(xcb_connection_t*, xcb_window_t) =
        (xcb_void_cookie_t(*)(xcb_connection_t*, xcb_window_t))dlsym(RTLD_NEXT, "xcb_map_window");
    mapFd = xcb_get_file_descriptor(c);
    return real(c, w);
}

ssize_t writev(int fd, const struct iovec* iov, int n)
{
    ssize_t (*real)(int, const struct iovec*, int) =
        (ssize_t(*)(int, const struct iovec*, int))dlsym(RTLD_NEXT, "writev");
    const ssize_t written = real(fd, iov, n);
    if (fd == mapFd)
        _exit(0);
    return written;
}

ssize_t sendmsg(int fd, const struct msghdr* m, int flags)
{
    ssize_t (*real)(int, const struct msghdr*, int) =
        (ssize_t(*)(int, const struct msghdr*, int))dlsym(RTLD_NEXT, "sendmsg");
    const ssize_t sent = real(fd, m, flags);
    if (fd == mapFd)
        _exit(0);
    return sent;
}
