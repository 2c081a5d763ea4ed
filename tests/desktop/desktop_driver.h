// Drives the built program as a user does: it runs under a virtual X server of its own, with a
// pseudo-terminal as COM1, and is worked only through that server (pointer and keys by XTEST, the
// window title, the clipboard, the bell, the pixels on screen) and through the device at the far
// end of the port. Controls are found from the main window's form, as client-area rectangles
// placed at the window's position on the screen; nothing reaches into the program.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tests/platform/serial/pty.h"

namespace kesu::desktop {

using namespace std::chrono_literals;

class Desktop {
  public:
    // Starts the X server and the program, and waits for the main window to show. ok() tells
    // whether that worked and error() what did not.
    Desktop();
    // Closes the main window as its close button does and expects the program to end with 0.
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    bool ok() const;
    const std::string& error() const;

    // Polls `ready`, serving the clipboard meanwhile, until it holds or the deadline passes.
    bool WaitUntil(const std::function<bool()>& ready, std::chrono::milliseconds deadline = 10s);

    // Input. A unit is named by its id in the main window's form; the click goes to its centre,
    // or to `dx` pixels from its left edge at half height when dx is given.
    void Click(uint32_t unitId, int dx = -1);
    // A click at a point of a top-level window (client-area coordinates), 0 for the main window.
    void ClickAt(unsigned long window, int x, int y);
    // Gives a top-level window the keyboard focus, as a window manager does with a window that
    // newly shows; none runs on the driver's X server.
    void Focus(unsigned long window);
    // One key with modifiers, by X key names joined with '+': "ctrl+a", "BackSpace", "shift+Tab".
    void Keys(std::string_view chord);
    // Printable ASCII and '\n' (Return), each character as its key, with Shift where needed.
    void Type(std::string_view text);

    // What the user sees. Texts are UTF-8.
    std::string Title();
    std::string TitleOf(unsigned long window);
    // A shown top-level window of the program with this title, 0 when none shows in time.
    unsigned long WaitForWindow(std::string_view title);
    bool IsShown(unsigned long window);
    // Where a top-level window lies on the screen and how large it is.
    struct Rect {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Rect GeometryOf(unsigned long window);
    // The shown top-level windows of the program other than the main window, newest last.
    std::vector<unsigned long> OtherWindows();
    // A box's whole text, by a click into it, Ctrl+A and Ctrl+C; empty when nothing was copied.
    std::string Copy(uint32_t unitId);
    // Ctrl+V with `text` on the clipboard; returns once the program has fetched it.
    bool Paste(std::string_view text);
    // Bells rung on the X server since the start.
    int Bells();
    // Pixels inside a unit's rectangle, or its left `width` pixels, whose colour passes `match`
    // (red, green, blue).
    int CountPixels(uint32_t unitId, const std::function<bool(int, int, int)>& match,
                    int width = -1);

    // The device at the far end of COM1.
    testing::Pty& device();
    // Reads until `count` bytes came or the deadline passed, serving the clipboard meanwhile.
    std::string DeviceRead(size_t count, std::chrono::milliseconds deadline = 10s);
    // Whether the program holds the port open (the pseudo-terminal's other side is open).
    bool PortOpen();
    // The line settings the program gave the port, as the device side reads them.
    unsigned BaudRate();
    bool TwoStopBits();

    // Where the program's file dialogs can save and load.
    const std::string& scratchDir() const;

  private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace kesu::desktop
