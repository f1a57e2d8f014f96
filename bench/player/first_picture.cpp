// Measures how long a region of an X display takes to show a new picture.
//
//   first_picture --display :N --window ID|root --rect x,y,w,h --timeout-ms T
//                 [--reference-now] [--run COMMAND] [--since-epoch-ms MS]
//                 [--pixel-delta D] [--changed-percent P]
//
// The region is read with XGetImage every POLL_MS. It counts as changed when
// more than P % of its pixels differ from the reference by more than D in
// some colour channel. The reference is black, or with --reference-now what
// the region shows when the tool starts (a program's home screen before a
// request). The clock starts at --since-epoch-ms (wall-clock milliseconds,
// e.g. `date +%s%3N` taken right before a program was started), else right
// before --run's command is started (after the reference was taken), else
// when the tool starts. Prints the milliseconds and exits 0, or prints
// "none" and exits 1 when nothing changed within the time-out. A region that
// cannot be read yet (a window not mapped) is polled again.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <unistd.h>

#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int POLL_MS = 12;              // finer than a 25-30 fps frame, light on the X server
constexpr int DEFAULT_PIXEL_DELTA = 24;  // above compression noise and dithering
constexpr double DEFAULT_CHANGED_PERCENT = 2.0;  // a cursor or a ticking clock stays below it

struct Options {
    std::string display;
    std::string window = "root";
    int x = 0, y = 0, w = 0, h = 0;
    int timeout_ms = 10000;
    bool reference_now = false;
    std::string run;
    long long since_epoch_ms = -1;
    int pixel_delta = DEFAULT_PIXEL_DELTA;
    double changed_percent = DEFAULT_CHANGED_PERCENT;
};

int usage()
{
    std::fprintf(stderr, "usage: first_picture --display :N --window ID|root --rect x,y,w,h "
                         "--timeout-ms T [--reference-now] [--run COMMAND] [--since-epoch-ms MS] "
                         "[--pixel-delta D] [--changed-percent P]\n");
    return 2;
}

bool parse(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool has_value = i + 1 < argc;
        if (a == "--reference-now") {
            o->reference_now = true;
        } else if (!has_value) {
            return false;
        } else if (a == "--display") {
            o->display = argv[++i];
        } else if (a == "--window") {
            o->window = argv[++i];
        } else if (a == "--rect") {
            if (std::sscanf(argv[++i], "%d,%d,%d,%d", &o->x, &o->y, &o->w, &o->h) != 4)
                return false;
        } else if (a == "--timeout-ms") {
            o->timeout_ms = std::atoi(argv[++i]);
        } else if (a == "--run") {
            o->run = argv[++i];
        } else if (a == "--since-epoch-ms") {
            o->since_epoch_ms = std::atoll(argv[++i]);
        } else if (a == "--pixel-delta") {
            o->pixel_delta = std::atoi(argv[++i]);
        } else if (a == "--changed-percent") {
            o->changed_percent = std::atof(argv[++i]);
        } else {
            return false;
        }
    }
    return o->w > 0 && o->h > 0 && o->timeout_ms > 0;
}

struct DisplayCloser {
    Display* d;
    ~DisplayCloser()
    {
        if (d)
            XCloseDisplay(d);
    }
};

// Ignores X errors: a window that is not mapped yet (or gone) makes
// XGetImage fail, which the poll loop treats as "nothing yet".
int quiet_x_error(Display*, XErrorEvent*)
{
    return 0;
}

// The region as 0xRRGGBB values; empty when it cannot be read.
std::vector<unsigned long> grab(Display* d, Window win, const Options& o)
{
    std::vector<unsigned long> pixels;
    XImage* img = XGetImage(d, win, o.x, o.y, static_cast<unsigned>(o.w),
                            static_cast<unsigned>(o.h), AllPlanes, ZPixmap);
    if (!img)
        return pixels;
    pixels.resize(static_cast<size_t>(o.w) * static_cast<size_t>(o.h));
    // 32-bit pixels in the machine's byte order (Xvfb at depth 24) are read
    // straight from the image: XGetPixel per pixel would cost more than a frame.
    bool direct = img->bits_per_pixel == 32 &&
                  img->byte_order ==
                      (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
    for (int row = 0; row < o.h; row++) {
        const char* line = img->data + static_cast<size_t>(row) * img->bytes_per_line;
        for (int col = 0; col < o.w; col++) {
            unsigned long p;
            if (direct) {
                uint32_t v;
                std::memcpy(&v, line + static_cast<size_t>(col) * 4, sizeof v);
                p = v;
            } else {
                p = XGetPixel(img, col, row);
            }
            pixels[static_cast<size_t>(row) * o.w + col] = p & 0xffffff;
        }
    }
    XDestroyImage(img);
    return pixels;
}

bool differs(unsigned long a, unsigned long b, int delta)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        int ca = static_cast<int>((a >> shift) & 0xff), cb = static_cast<int>((b >> shift) & 0xff);
        if (std::abs(ca - cb) > delta)
            return true;
    }
    return false;
}

bool changed(const std::vector<unsigned long>& now, const std::vector<unsigned long>& ref,
             const Options& o)
{
    size_t count = 0;
    for (size_t i = 0; i < now.size(); i++)
        count += differs(now[i], ref[i], o.pixel_delta) ? 1 : 0;
    return count * 100.0 > o.changed_percent * static_cast<double>(now.size());
}

long long epoch_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Starts `command` through the shell without waiting for it.
bool start_command(const std::string& command)
{
    signal(SIGCHLD, SIG_IGN);  // no zombie is left for a parent that never waits
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid > 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, &o))
        return usage();
    long long start = o.since_epoch_ms >= 0 ? o.since_epoch_ms : epoch_ms();
    DisplayCloser dc{XOpenDisplay(o.display.empty() ? nullptr : o.display.c_str())};
    if (!dc.d) {
        std::fprintf(stderr, "first_picture: cannot open display %s\n", o.display.c_str());
        return 2;
    }
    XSetErrorHandler(quiet_x_error);
    Window win = o.window == "root"
                     ? DefaultRootWindow(dc.d)
                     : static_cast<Window>(std::strtoul(o.window.c_str(), nullptr, 0));
    std::vector<unsigned long> reference(static_cast<size_t>(o.w) * static_cast<size_t>(o.h), 0);
    if (o.reference_now) {
        reference = grab(dc.d, win, o);
        if (reference.empty()) {
            std::fprintf(stderr, "first_picture: the region cannot be read\n");
            return 2;
        }
    }
    if (!o.run.empty()) {
        if (o.since_epoch_ms < 0)
            start = epoch_ms();
        if (!start_command(o.run))
            return 2;
    }
    while (epoch_ms() - start < o.timeout_ms) {
        std::vector<unsigned long> now = grab(dc.d, win, o);
        if (!now.empty() && changed(now, reference, o)) {
            std::printf("%lld\n", epoch_ms() - start);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(POLL_MS));
    }
    std::printf("none\n");
    return 1;
}
