#pragma once

// Modem lines for one pseudo-terminal. A pty has none: the kernel refuses TIOCMGET,
// TIOCMSET, TIOCMBIS and TIOCMBIC on it. Including this header (in one test program only)
// puts a stand-in for ioctl() before the C library's: for the one device being watched
// it keeps DTR and RTS as a real port's driver would, starting with both raised as opening
// a real port does; every other request goes to the C library unchanged. So the lines the
// program under test leaves on the device can be read back with TIOCMGET like on a real
// port.

#include <QByteArray>
#include <QString>

#include <cstdarg>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace modemlines {

struct Watch {
    bool active = false;
    dev_t device = 0;
    int lines = 0;
};

inline Watch &watch()
{
    static Watch w;
    return w;
}

// Watches the character device at `path`; its lines start as a freshly opened port's.
inline bool watchDevice(const QString &path)
{
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    watch() = {true, st.st_rdev, TIOCM_DTR | TIOCM_RTS};
    return true;
}

inline void stopWatching() { watch() = {}; }

// True when the request was one about the watched device's lines and has been served.
inline bool serve(int fd, unsigned long request, int *bits)
{
    Watch &w = watch();
    if (!w.active || !bits)
        return false;
    if (request != TIOCMGET && request != TIOCMSET && request != TIOCMBIS && request != TIOCMBIC)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || st.st_rdev != w.device)
        return false;
    constexpr int kept = TIOCM_DTR | TIOCM_RTS;
    switch (request) {
    case TIOCMGET:
        *bits = w.lines;
        break;
    case TIOCMSET:
        w.lines = *bits & kept;
        break;
    case TIOCMBIS:
        w.lines |= *bits & kept;
        break;
    case TIOCMBIC:
        w.lines &= ~(*bits & kept);
        break;
    }
    return true;
}

} // namespace modemlines

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW
{
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);
    if (modemlines::serve(fd, request, static_cast<int *>(argument)))
        return 0;
    using Real = int (*)(int, unsigned long, ...);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, argument);
}
