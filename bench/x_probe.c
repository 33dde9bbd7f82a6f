/* What a user of the real window feels, measured from outside the program in an X server.
 *
 *   x_probe appear PROGRAM [ARGS...] FILE
 *       starts the program and prints "MAPPED_MS PAINTED_MS TEXT_MS PID WINDOW": the time from
 *       the start until its window is mapped, until the window first shows something (an X
 *       DAMAGE event), and until it shows the file (the first paint once the title names it).
 *       The program goes on running.
 *   x_probe keys WINDOW PID COUNT KEYSYM
 *       presses the key COUNT times through XTest. For each press it prints "SHOWN_MS CPU_MS WIDTHxHEIGHT":
 *       the time until the window changed (DAMAGE), and the CPU time all of the program's
 *       threads spent until it was idle again (from /proc/PID/task/ * /schedstat, in ns), and
 *       the size of the part of the window it repainted.
 *   x_probe idle PID SECONDS
 *       prints the CPU milliseconds per second the program spends while nobody touches it.
 */
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* CPU time of every thread of the process, in ms. */
static double cpu_ms(int pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/task", pid);
    DIR* dir = opendir(path);
    if (!dir)
        return -1;
    double total = 0;
    struct dirent* entry;
    while ((entry = readdir(dir))) {
        if (entry->d_name[0] == '.')
            continue;
        char file[300];
        snprintf(file, sizeof file, "/proc/%d/task/%s/schedstat", pid, entry->d_name);
        FILE* f = fopen(file, "r");
        unsigned long long ns = 0;
        if (f) {
            if (fscanf(f, "%llu", &ns) != 1)
                ns = 0;
            fclose(f);
        }
        total += ns / 1e6;
    }
    closedir(dir);
    return total;
}

/* Waits for the next event up to timeout_ms; returns 1 if one is there. */
static int wait_event(Display* dpy, double timeout_ms) {
    const double until = now_ms() + timeout_ms;
    while (!XPending(dpy)) {
        const double left = until - now_ms();
        if (left <= 0)
            return 0;
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, (int)left + 1);
    }
    return 1;
}

/* Waits until the process used no CPU for 50 ms in a row (at most 5 s). */
static double wait_idle(int pid) {
    double last = cpu_ms(pid);
    const double give_up = now_ms() + 5000;
    int still = 0;
    while (still < 5 && now_ms() < give_up) {
        usleep(10000);
        const double cpu = cpu_ms(pid);
        still = cpu - last < 0.05 ? still + 1 : 0;
        last = cpu;
    }
    return last;
}

/* Whether the window's title names the file (the program sets it once the file is read). */
static int titled(Display* dpy, Window window, const char* needle) {
    Atom name = XInternAtom(dpy, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* value = NULL;
    int found = 0;
    if (XGetWindowProperty(dpy, window, name, 0, 4096, False, AnyPropertyType, &type, &format, &items, &after,
                           &value) == Success && value) {
        found = strstr((const char*)value, needle) != NULL;
        XFree(value);
    }
    return found;
}

static int appear(Display* dpy, char** argv) {
    int damage_event, damage_error;
    XDamageQueryExtension(dpy, &damage_event, &damage_error);
    Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);
    /* The file is the last argument; the text is on screen at the first paint after the title
       names it. */
    int argc = 0;
    while (argv[argc])
        ++argc;
    const char* slash = strrchr(argv[argc - 1], '/');
    const char* needle = argc > 1 ? (slash ? slash + 1 : argv[argc - 1]) : "";
    const double start = now_ms();
    const pid_t pid = fork();
    if (pid == 0) {
        /* The program's output must not hold the probe's pipe open. */
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], argv);
        _exit(127);
    }
    double mapped = -1, painted = -1, text = -1, named = -1;
    Window window = 0;
    while (text < 0 && wait_event(dpy, 30000)) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type == MapNotify && !window && e.xmap.event == root) {
            window = e.xmap.window;
            mapped = now_ms() - start;
            XSelectInput(dpy, window, PropertyChangeMask);
            XDamageCreate(dpy, window, XDamageReportNonEmpty);
            if (titled(dpy, window, needle))
                named = mapped;
        } else if (e.type == PropertyNotify && window && named < 0 && titled(dpy, window, needle)) {
            named = now_ms() - start;
        } else if (e.type == damage_event + XDamageNotify && window) {
            const double t = now_ms() - start;
            if (painted < 0)
                painted = t;
            if (named >= 0)
                text = t;
            /* Each paint is reported again only once this one is taken. */
            XDamageSubtract(dpy, ((XDamageNotifyEvent*)&e)->damage, None, None);
        }
    }
    printf("%.1f %.1f %.1f %d %lu\n", mapped, painted, text, (int)pid, (unsigned long)window);
    return text < 0;
}

static int keys(Display* dpy, Window window, int pid, int count, const char* keysym) {
    int damage_event, damage_error;
    XDamageQueryExtension(dpy, &damage_event, &damage_error);
    Damage damage = XDamageCreate(dpy, window, XDamageReportNonEmpty);
    const KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(keysym));
    if (!code)
        return 2;
    wait_idle(pid);
    for (int i = 0; i < count; ++i) {
        XDamageSubtract(dpy, damage, None, None);
        XSync(dpy, False);
        while (XPending(dpy)) { /* what came before this key is not its doing */
            XEvent e;
            XNextEvent(dpy, &e);
        }
        const double cpu_before = cpu_ms(pid);
        const double sent = now_ms();
        XTestFakeKeyEvent(dpy, code, True, 0);
        XTestFakeKeyEvent(dpy, code, False, 0);
        XFlush(dpy);
        double shown = -1;
        while (shown < 0 && wait_event(dpy, 2000)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == damage_event + XDamageNotify)
                shown = now_ms() - sent;
        }
        const double cpu_after = wait_idle(pid);
        /* How much of the window the key repainted: the bounding box of the damage. */
        XserverRegion parts = XFixesCreateRegion(dpy, NULL, 0);
        XDamageSubtract(dpy, damage, None, parts);
        int n = 0;
        XRectangle bounds;
        XRectangle* rects = XFixesFetchRegionAndBounds(dpy, parts, &n, &bounds);
        if (rects)
            XFree(rects);
        XFixesDestroyRegion(dpy, parts);
        printf("%.3f %.3f %dx%d\n", shown, cpu_after - cpu_before, n ? bounds.width : 0, n ? bounds.height : 0);
        fflush(stdout);
    }
    return 0;
}

int main(int argc, char** argv) {
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "x_probe: no X display\n");
        return 2;
    }
    if (argc >= 3 && !strcmp(argv[1], "appear"))
        return appear(dpy, argv + 2);
    if (argc == 6 && !strcmp(argv[1], "keys"))
        return keys(dpy, (Window)strtoul(argv[2], NULL, 0), atoi(argv[3]), atoi(argv[4]), argv[5]);
    if (argc == 4 && !strcmp(argv[1], "idle")) {
        const int pid = atoi(argv[2]);
        const double seconds = atof(argv[3]);
        const double before = cpu_ms(pid);
        usleep((useconds_t)(seconds * 1e6));
        printf("%.2f\n", (cpu_ms(pid) - before) / seconds);
        return 0;
    }
    fprintf(stderr, "usage: x_probe appear PROGRAM [ARGS...] | keys WINDOW PID COUNT KEYSYM | idle PID SECONDS\n");
    return 2;
}
