// The desktop driver. Xlib stays in this file, out of the scenarios' way.
#include "tests/desktop/desktop_driver.h"

// The test framework and the project's headers come before Xlib, whose macros (None, True,
// Status, ...) would rewrite them; the formatter must not sort them together.
// clang-format off
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>
#include "app/form/main_window_form.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <asm/termbits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
// clang-format on

extern char** environ;

namespace kesu::desktop {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Starts a program with the driver's environment less `unset` plus `extra` ("NAME=value"); its
// stdout and stderr go to `output` (a file) when given. `keep` is dup'ed onto fd 3 of the child.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extra,
            const std::string& output = {}, int keep = -1) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string_view entry(*e);
        bool replaced = false;
        for (const std::string& x : extra) {
            replaced |= entry.substr(0, entry.find('=') + 1) == x.substr(0, x.find('=') + 1);
        }
        if (!replaced) env.emplace_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<char*> envp, args;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (std::string& a : argCopy) args.push_back(a.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!output.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    if (keep >= 0) posix_spawn_file_actions_adddup2(&actions, keep, 3);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for a child to end; its exit status, or -1 when it is still running at the deadline.
int Reap(pid_t pid, std::chrono::milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > end) return -1;
        ::poll(nullptr, 0, 10);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Ends a child the driver started that did not end by itself.
void Stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    if (Reap(pid, 5s) < 0) {
        ::kill(pid, SIGKILL);
        Reap(pid, 5s);
    }
}

// Windows of the program come and go while the driver looks at them; a request about one that
// is gone fails, and the request's own result says so.
int IgnoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

int Shift(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

}  // namespace

struct Desktop::State {
    std::string error;
    fs::path dir;
    std::string files;  // dir/files
    testing::Pty pty;
    pid_t server = -1;
    pid_t program = -1;
    Display* dpy = nullptr;
    Window own = 0;   // the driver's unmapped window, for the clipboard
    Window main = 0;  // the program's main window
    Atom clipboard = 0, utf8 = 0, targets = 0, netWmName = 0, netWmPid = 0, incoming = 0;
    std::string offered;  // what the driver serves while it owns the clipboard
    int handedOver = 0;   // requests for the text served
    bool converted = false;
    Atom convertedProperty = 0;
    int xkbEvent = 0;
    int bells = 0;

    void Pump();
    void Offer(std::string_view text);
    void Serve(const XSelectionRequestEvent& request);
    Window WindowOf(std::string_view title);
};

void Desktop::State::Pump() {
    while (XPending(dpy) > 0) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        if (ev.type == SelectionRequest) {
            Serve(ev.xselectionrequest);
        } else if (ev.type == SelectionNotify && ev.xselection.requestor == own) {
            converted = true;
            convertedProperty = ev.xselection.property;
        } else if (ev.type == xkbEvent &&
                   reinterpret_cast<XkbAnyEvent*>(&ev)->xkb_type == XkbBellNotify) {
            ++bells;
        }
    }
}

void Desktop::State::Serve(const XSelectionRequestEvent& request) {
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    reply.property = request.property ? request.property : request.target;
    if (request.target == targets) {
        Atom offers[] = {targets, utf8, XA_STRING};
        XChangeProperty(dpy, request.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(offers), 3);
    } else if (request.target == utf8 || request.target == XA_STRING) {
        XChangeProperty(dpy, request.requestor, reply.property, request.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered.data()),
                        static_cast<int>(offered.size()));
        ++handedOver;
    } else {
        reply.property = 0;
    }
    XSendEvent(dpy, request.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
    XFlush(dpy);
}

Window Desktop::State::WindowOf(std::string_view title) {
    Window root = DefaultRootWindow(dpy), parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(dpy, root, &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attrs;
        if (!XGetWindowAttributes(dpy, children[i], &attrs) || attrs.map_state != IsViewable) {
            continue;
        }
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        long pid = 0;
        if (XGetWindowProperty(dpy, children[i], netWmPid, 0, 1, False, XA_CARDINAL, &type, &format,
                               &n, &after, &data) == Success &&
            data) {
            if (n == 1) pid = *reinterpret_cast<long*>(data);
            XFree(data);
        }
        if (pid != program) continue;
        data = nullptr;
        std::string name;
        if (XGetWindowProperty(dpy, children[i], netWmName, 0, 1024, False, utf8, &type, &format,
                               &n, &after, &data) == Success &&
            data) {
            name.assign(reinterpret_cast<char*>(data), n);
            XFree(data);
        }
        if (name.find(title) != std::string::npos) found = children[i];
    }
    if (children) XFree(children);
    return found;
}

Desktop::Desktop() : s_(std::make_unique<State>()) {
    State& s = *s_;
    char pattern[] = "/tmp/kesu-desktop-XXXXXX";
    if (!::mkdtemp(pattern) || !s.pty.ok()) {
        s.error = "no temporary directory or pseudo-terminal";
        return;
    }
    s.dir = pattern;
    // COM1 is the device; every other number names a missing device, so that the machine's own
    // serial ports stay out of the scan.
    fs::create_directories(s.dir / "ports");
    s.files = (s.dir / "files").string();
    fs::create_directories(s.files);
    fs::create_directories(s.dir / "runtime");
    fs::permissions(s.dir / "runtime", fs::perms::owner_all);
    fs::create_symlink(s.pty.slave_path(), s.dir / "ports" / "COM1");
    for (int n = 2; n <= 100; ++n) {
        fs::create_symlink(s.dir / "absent", s.dir / "ports" / ("COM" + std::to_string(n)));
    }

    // The server tells its display number on fd 3 once it accepts connections.
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        s.error = "no pipe";
        return;
    }
    s.server = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                     {}, (s.dir / "xvfb.log").string(), ready[1]);
    ::close(ready[1]);
    std::string number;
    const auto end = Clock::now() + 20s;
    while (number.find('\n') == std::string::npos && Clock::now() < end) {
        pollfd in{ready[0], POLLIN, 0};
        char c[16];
        if (::poll(&in, 1, 50) > 0) {
            ssize_t n = ::read(ready[0], c, sizeof c);
            if (n <= 0) break;
            number.append(c, static_cast<size_t>(n));
        }
    }
    ::close(ready[0]);
    if (s.server < 0 || number.find('\n') == std::string::npos) {
        s.error = "the X server did not start (is Xvfb installed?)";
        return;
    }
    const std::string display = ":" + number.substr(0, number.find('\n'));
    XSetErrorHandler(IgnoreXErrors);
    s.dpy = XOpenDisplay(display.c_str());
    if (!s.dpy) {
        s.error = "cannot connect to the X server on " + display;
        return;
    }
    int event = 0, error = 0, major = 0, minor = 0, opcode = 0;
    if (!XTestQueryExtension(s.dpy, &event, &error, &major, &minor)) {
        s.error = "the X server has no XTEST";
        return;
    }
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (XkbQueryExtension(s.dpy, &opcode, &s.xkbEvent, &error, &major, &minor)) {
        XkbSelectEvents(s.dpy, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    }
    s.clipboard = XInternAtom(s.dpy, "CLIPBOARD", False);
    s.utf8 = XInternAtom(s.dpy, "UTF8_STRING", False);
    s.targets = XInternAtom(s.dpy, "TARGETS", False);
    s.netWmName = XInternAtom(s.dpy, "_NET_WM_NAME", False);
    s.netWmPid = XInternAtom(s.dpy, "_NET_WM_PID", False);
    s.incoming = XInternAtom(s.dpy, "KESU_DRIVER_CLIPBOARD", False);
    s.own = XCreateSimpleWindow(s.dpy, DefaultRootWindow(s.dpy), 0, 0, 1, 1, 0, 0, 0);

    s.program = Spawn({KESU_PROGRAM},
                      {"DISPLAY=" + display, "KESU_PORT_DIR=" + (s.dir / "ports").string(),
                       "QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + (s.dir / "files").string(),
                       "XDG_RUNTIME_DIR=" + (s.dir / "runtime").string()},
                      (s.dir / "program.log").string());
    if (s.program < 0 || !WaitUntil([&] { return (s.main = s.WindowOf("Kesu")) != 0; }, 30s)) {
        s.error = "the main window did not show";
    }
}

Desktop::~Desktop() {
    State& s = *s_;
    if (s.program > 0 && s.dpy && s.main) {
        // The close button: the window manager's request to delete the window.
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = s.main;
        close.xclient.message_type = XInternAtom(s.dpy, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = static_cast<long>(XInternAtom(s.dpy, "WM_DELETE_WINDOW", False));
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent(s.dpy, s.main, False, NoEventMask, &close);
        XFlush(s.dpy);
        const int code = Reap(s.program, 10s);
        EXPECT_EQ(code, 0) << "the program did not end with 0 when its window was closed";
        if (code < 0) Stop(s.program);
    } else if (s.program > 0) {
        Stop(s.program);
    }
    if (s.dpy) XCloseDisplay(s.dpy);
    Stop(s.server);
    if (!s.dir.empty()) {
        if (::testing::Test::HasFailure()) {
            std::error_code ignored;
            std::string log;
            if (FILE* f = std::fopen((s.dir / "program.log").c_str(), "r")) {
                char buffer[4096];
                size_t n;
                while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) log.append(buffer, n);
                std::fclose(f);
            }
            if (!log.empty()) std::fprintf(stderr, "program output:\n%s\n", log.c_str());
        }
        fs::remove_all(s.dir);
    }
}

bool Desktop::ok() const {
    return s_->error.empty();
}

const std::string& Desktop::error() const {
    return s_->error;
}

const std::string& Desktop::scratchDir() const {
    return s_->files;
}

bool Desktop::WaitUntil(const std::function<bool()>& ready, std::chrono::milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    for (;;) {
        if (s_->dpy) s_->Pump();
        if (ready()) return true;
        if (Clock::now() > end) return false;
        pollfd in{s_->dpy ? ConnectionNumber(s_->dpy) : -1, POLLIN, 0};
        ::poll(&in, 1, 5);
    }
}

void Desktop::ClickAt(unsigned long window, int x, int y) {
    State& s = *s_;
    int rx = 0, ry = 0;
    Window child = 0;
    XTranslateCoordinates(s.dpy, window ? window : s.main, DefaultRootWindow(s.dpy), x, y, &rx, &ry,
                          &child);
    XTestFakeMotionEvent(s.dpy, -1, rx, ry, CurrentTime);
    XTestFakeButtonEvent(s.dpy, 1, True, CurrentTime);
    XTestFakeButtonEvent(s.dpy, 1, False, CurrentTime);
    XSync(s.dpy, False);
}

namespace {

struct Place {
    int left, top, width, height;
};

// A unit's rectangle in the main window's client area, from the form the program is built from.
Place PlaceOf(uint32_t unitId) {
    static const app::Form form = app::MainWindowForm();
    for (const app::FormUnit& unit : form.units) {
        if (unit.id != unitId) continue;
        Place p{unit.left, unit.top, unit.width, unit.height};
        if (unit.parent != 0) {
            const Place outer = PlaceOf(unit.parent);
            p.left += outer.left;
            p.top += outer.top;
        }
        return p;
    }
    ADD_FAILURE() << "no unit " << std::hex << unitId << " in the form";
    return {0, 0, 0, 0};
}

}  // namespace

void Desktop::Click(uint32_t unitId, int dx) {
    const Place p = PlaceOf(unitId);
    ClickAt(0, p.left + (dx >= 0 ? dx : p.width / 2), p.top + p.height / 2);
}

void Desktop::Focus(unsigned long window) {
    XSetInputFocus(s_->dpy, window, RevertToPointerRoot, CurrentTime);
    XSync(s_->dpy, False);
}

void Desktop::Keys(std::string_view chord) {
    State& s = *s_;
    std::vector<KeyCode> held;
    while (!chord.empty()) {
        const size_t plus = chord.find('+', 1);
        std::string name(chord.substr(0, plus));
        chord = plus == std::string_view::npos ? std::string_view{} : chord.substr(plus + 1);
        if (name == "ctrl") name = "Control_L";
        if (name == "shift") name = "Shift_L";
        if (name == "alt") name = "Alt_L";
        const KeySym sym = XStringToKeysym(name.c_str());
        const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(s.dpy, sym);
        if (code == 0) {
            ADD_FAILURE() << "no key " << name;
            break;
        }
        XTestFakeKeyEvent(s.dpy, code, True, CurrentTime);
        held.push_back(code);
    }
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
        XTestFakeKeyEvent(s.dpy, *it, False, CurrentTime);
    }
    XSync(s.dpy, False);
}

void Desktop::Type(std::string_view text) {
    State& s = *s_;
    const KeyCode shift = XKeysymToKeycode(s.dpy, XK_Shift_L);
    for (char c : text) {
        const KeySym sym =
            c == '\n' ? XK_Return : static_cast<KeySym>(static_cast<unsigned char>(c));
        const KeyCode code = XKeysymToKeycode(s.dpy, sym);
        if (code == 0) {
            ADD_FAILURE() << "no key for '" << c << "'";
            continue;
        }
        const bool shifted = XkbKeycodeToKeysym(s.dpy, code, 0, 0) != sym;
        if (shifted) XTestFakeKeyEvent(s.dpy, shift, True, CurrentTime);
        XTestFakeKeyEvent(s.dpy, code, True, CurrentTime);
        XTestFakeKeyEvent(s.dpy, code, False, CurrentTime);
        if (shifted) XTestFakeKeyEvent(s.dpy, shift, False, CurrentTime);
    }
    XSync(s.dpy, False);
}

std::string Desktop::TitleOf(unsigned long window) {
    State& s = *s_;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(s.dpy, window, s.netWmName, 0, 1024, False, s.utf8, &type, &format, &n,
                           &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), n);
        XFree(data);
    }
    return title;
}

std::string Desktop::Title() {
    return TitleOf(s_->main);
}

unsigned long Desktop::WaitForWindow(std::string_view title) {
    Window found = 0;
    WaitUntil([&] { return (found = s_->WindowOf(title)) != 0; });
    return found;
}

bool Desktop::IsShown(unsigned long window) {
    XWindowAttributes attrs;
    XSync(s_->dpy, False);
    return XGetWindowAttributes(s_->dpy, window, &attrs) && attrs.map_state == IsViewable;
}

Desktop::Rect Desktop::GeometryOf(unsigned long window) {
    State& s = *s_;
    XWindowAttributes attrs{};
    XGetWindowAttributes(s.dpy, window, &attrs);
    Rect r;
    Window child = 0;
    XTranslateCoordinates(s.dpy, window, DefaultRootWindow(s.dpy), 0, 0, &r.x, &r.y, &child);
    r.width = attrs.width;
    r.height = attrs.height;
    return r;
}

std::vector<unsigned long> Desktop::OtherWindows() {
    State& s = *s_;
    std::vector<unsigned long> found;
    Window root = DefaultRootWindow(s.dpy), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(s.dpy, root, &root, &parent, &children, &count)) return found;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attrs;
        if (children[i] != s.main && XGetWindowAttributes(s.dpy, children[i], &attrs) &&
            attrs.map_state == IsViewable && children[i] != s.own) {
            found.push_back(children[i]);
        }
    }
    if (children) XFree(children);
    return found;
}

void Desktop::State::Offer(std::string_view text) {
    offered = std::string(text);
    XSetSelectionOwner(dpy, clipboard, own, CurrentTime);
    XSync(dpy, False);
    if (XGetSelectionOwner(dpy, clipboard) != own) {
        ADD_FAILURE() << "the driver could not take the clipboard";
    }
}

bool Desktop::Paste(std::string_view text) {
    s_->Offer(text);
    const int before = s_->handedOver;
    Keys("ctrl+v");
    return WaitUntil([&] { return s_->handedOver > before; }, 5s);
}

std::string Desktop::Copy(uint32_t unitId) {
    State& s = *s_;
    // Owning the clipboard first tells a fresh copy from an old one: the program takes it over.
    s.Offer("");
    Click(unitId);
    Keys("ctrl+a");
    Keys("ctrl+c");
    if (!WaitUntil([&] { return XGetSelectionOwner(s.dpy, s.clipboard) != s.own; }, 2s)) {
        return {};
    }
    s.converted = false;
    XConvertSelection(s.dpy, s.clipboard, s.utf8, s.incoming, s.own, CurrentTime);
    XFlush(s.dpy);
    if (!WaitUntil([&] { return s.converted; }, 5s) || s.convertedProperty == 0) {
        ADD_FAILURE() << "the program did not hand over the clipboard";
        return {};
    }
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(s.dpy, s.own, s.incoming, 0, 1 << 24, True, AnyPropertyType, &type,
                           &format, &n, &after, &data) == Success &&
        data) {
        text.assign(reinterpret_cast<char*>(data), n);
        XFree(data);
    }
    return text;
}

int Desktop::Bells() {
    XSync(s_->dpy, False);
    s_->Pump();
    return s_->bells;
}

int Desktop::CountPixels(uint32_t unitId, const std::function<bool(int, int, int)>& match,
                         int width) {
    State& s = *s_;
    Place p = PlaceOf(unitId);
    if (width >= 0 && width < p.width) p.width = width;
    XImage* image = XGetImage(s.dpy, s.main, p.left, p.top, static_cast<unsigned>(p.width),
                              static_cast<unsigned>(p.height), AllPlanes, ZPixmap);
    if (!image) return 0;
    int count = 0;
    const int rs = Shift(image->red_mask), gs = Shift(image->green_mask),
              bs = Shift(image->blue_mask);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const unsigned long px = XGetPixel(image, x, y);
            if (match(static_cast<int>((px & image->red_mask) >> rs),
                      static_cast<int>((px & image->green_mask) >> gs),
                      static_cast<int>((px & image->blue_mask) >> bs))) {
                ++count;
            }
        }
    }
    XDestroyImage(image);
    return count;
}

testing::Pty& Desktop::device() {
    return s_->pty;
}

std::string Desktop::DeviceRead(size_t count, std::chrono::milliseconds deadline) {
    std::string got;
    WaitUntil(
        [&] {
            pollfd in{s_->pty.master(), POLLIN, 0};
            while (got.size() < count && ::poll(&in, 1, 0) > 0 && (in.revents & POLLIN)) {
                char buffer[4096];
                const ssize_t n =
                    ::read(s_->pty.master(), buffer, std::min(sizeof buffer, count - got.size()));
                if (n <= 0) break;
                got.append(buffer, static_cast<size_t>(n));
            }
            return got.size() >= count;
        },
        deadline);
    return got;
}

bool Desktop::PortOpen() {
    // A pseudo-terminal's master reads as hung up while no one has its other side open.
    pollfd in{s_->pty.master(), 0, 0};
    ::poll(&in, 1, 0);
    return !(in.revents & POLLHUP);
}

unsigned Desktop::BaudRate() {
    termios2 t{};
    return ::ioctl(s_->pty.master(), TCGETS2, &t) == 0 ? t.c_ospeed : 0;
}

bool Desktop::TwoStopBits() {
    termios2 t{};
    return ::ioctl(s_->pty.master(), TCGETS2, &t) == 0 && (t.c_cflag & CSTOPB);
}

}  // namespace kesu::desktop
