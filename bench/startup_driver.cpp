// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up benchmark driver: launches programs on an X server and times each one
// from its launch to the first paint of its main window.
//
// A run forks and executes the program, waits for the first top-level window
// it maps, then reads one pixel near the window's bottom-left corner until it
// shows the painted window colour (the server starts the window with the black
// root showing through, so the colour appears only when the program has drawn).
// Programs are run in turn, so all share the same conditions; the medians are
// the figures to compare. The first program is the one measured, the others
// references: for each reference the driver also prints the median of the
// first program's time divided by the reference's time in the same round, a
// ratio that a machine busy with other work disturbs less than either time.
//
// usage: startup_driver RUNS RRGGBB PROGRAM REFERENCE...

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kGiveUp = std::chrono::seconds(30);
constexpr int kPollMicroseconds = 200;
constexpr int kCornerInset = 4; // inside any frame line, clear of every control

int ignoreXErrors(Display*, XErrorEvent*) {
    return 0; // a window that went away between two requests is not our concern
}

bool waitForEvent(Display* display, Clock::time_point deadline) {
    while (XPending(display) == 0) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return false;
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
        timeval timeout{static_cast<time_t>(us / 1000000), static_cast<suseconds_t>(us % 1000000)};
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(ConnectionNumber(display), &fds);
        select(ConnectionNumber(display) + 1, &fds, nullptr, nullptr, &timeout);
    }
    return true;
}

// Milliseconds from launch to first paint, or a negative value on failure.
double timeOneStart(Display* display, const char* program, unsigned long painted) {
    XSync(display, True); // forget what earlier runs left behind
    const Clock::time_point launched = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    const Clock::time_point deadline = launched + kGiveUp;

    Window window = 0;
    int width = 0;
    int height = 0;
    while (window == 0 && waitForEvent(display, deadline)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != MapNotify || event.xmap.override_redirect)
            continue;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, event.xmap.window, &attributes) &&
            attributes.width >= 100 && attributes.height >= 100) {
            window = event.xmap.window;
            width = attributes.width;
            height = attributes.height;
        }
    }

    double result = -1;
    while (window != 0 && Clock::now() < deadline) {
        XImage* image = XGetImage(display, window, kCornerInset, height - kCornerInset, 1, 1,
                                  AllPlanes, ZPixmap);
        if (image) {
            const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
            XDestroyImage(image);
            if (pixel == painted) {
                result = std::chrono::duration<double, std::milli>(Clock::now() - launched).count();
                break;
            }
        }
        usleep(kPollMicroseconds);
    }
    (void)width;

    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s RUNS RRGGBB PROGRAM...\n", argv[0]);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const unsigned long painted = std::strtoul(argv[2], nullptr, 16);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreXErrors);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

    const int programs = argc - 3;
    std::vector<std::vector<double>> times(programs);
    // One start of each program that is not counted: it warms the file cache.
    for (int p = 0; p < programs; ++p)
        timeOneStart(display, argv[3 + p], painted);
    for (int run = 0; run < runs; ++run) {
        for (int p = 0; p < programs; ++p) {
            const double ms = timeOneStart(display, argv[3 + p], painted);
            if (ms < 0) {
                std::fprintf(stderr, "%s: no painted window within %lld s\n", argv[3 + p],
                             static_cast<long long>(kGiveUp.count()));
                return 1;
            }
            times[p].push_back(ms);
        }
    }

    std::printf("start-up to first paint, %d runs each (ms)\n", runs);
    std::printf("%-40s %8s %8s %8s\n", "program", "median", "min", "max");
    for (int p = 0; p < programs; ++p) {
        const auto [lo, hi] = std::minmax_element(times[p].begin(), times[p].end());
        std::printf("%-40s %8.1f %8.1f %8.1f\n", argv[3 + p], median(times[p]), *lo, *hi);
    }
    for (int p = 1; p < programs; ++p) {
        std::vector<double> ratios;
        for (int run = 0; run < runs; ++run)
            ratios.push_back(times[0][run] / times[p][run]);
        const auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
        std::printf("ratio to %-31s %8.2f %8.2f %8.2f\n", argv[3 + p], median(ratios), *lo, *hi);
    }
    XCloseDisplay(display);
    return 0;
}
