// Drives the whole assistant like a user: the real runtime, units and handlers over the headless
// UI backend and its virtual clock, with virtual null-modem cables whose far ends a test or a
// simulated device holds. Assertions read what a user sees (texts, captions, colours, enabled and
// checked states) and what the far end of a cable receives.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/form/main_window_form.h"
#include "app/program.h"
#include "platform/headless/headless.h"
#include "platform/posix/file_posix.h"
#include "platform/serial.h"
#include "platform/virtual/virtual_serial.h"

namespace kesu::e2e {

// The far end of a virtual cable, opened by the test as another program would.
class FarEnd {
  public:
    explicit FarEnd(std::unique_ptr<platform::SerialDevice> device);
    // Everything received since the last call, waiting in real time (generous deadline) until at
    // least `atLeast` bytes are there.
    std::string Take(size_t atLeast = 0);
    void Write(std::string_view bytes);
    platform::SerialDevice& device() { return *device_; }

  private:
    std::unique_ptr<platform::SerialDevice> device_;
};

class AssistantHarness : public ::testing::Test {
  protected:
    // Cables "COM<n>" to "DEV<n>" for each port number, created before the program starts.
    explicit AssistantHarness(std::vector<int> ports = {1, 3, 12});
    ~AssistantHarness() override;

    void SetUp() override;
    void TearDown() override;

    // ---- The program ----
    void Start();  // start-up: loads the window (Created handler: byte sets, port scan)
    platform::headless::HeadlessLoop& loop() { return platform_.loop(); }
    platform::headless::HeadlessDialogs& dialogs() { return platform_.dialogs(); }
    int Beeps() { return platform_.sound().Beeps(); }
    // Moves virtual time forward, running timers and queued work.
    void Advance(uint64_t ms) { loop().AdvanceBy(ms); }
    // Moves virtual time to `ms` after the window was created (when its timers started).
    void AdvanceSinceStart(uint64_t ms) { loop().AdvanceTo(startMs_ + ms); }
    // Runs the loop until `done` holds (real-time deadline); fails the test otherwise.
    void RunUntil(const std::function<bool()>& done, const char* what);
    // Waits until no worker of the assistant is running any more, serving their requests, and
    // joins them.
    void WaitForWorkers();

    // ---- What the user sees ----
    std::string Title();
    std::string TextOf(uint32_t unitId);  // caption, content or combo text
    bool Checked(uint32_t unitId);
    bool Enabled(uint32_t unitId);
    uint32_t TextColour(uint32_t unitId);
    std::vector<std::string> Items(uint32_t unitId);
    std::string ItemToolTip(uint32_t unitId, int index);
    int CurrentItem(uint32_t unitId);

    // ---- What the user does ----
    void Click(uint32_t unitId);  // fails the test when the unit cannot be clicked
    bool TryClick(uint32_t unitId);
    void TypeInto(uint32_t unitId, std::string_view gbk);  // replaces the whole text
    void Pick(uint32_t unitId, int index);
    void DropDown(uint32_t unitId);  // opens the list and closes it again
    // Opens the port list (which rescans), waits for the scan, then picks an item.
    void PickPort(int index);

    // ---- The line ----
    platform::VirtualSerialHub& hub() { return hub_; }
    // Makes the program open `ports` instead of the cables, before it starts.
    void UsePorts(platform::SerialPorts& ports) {
        platform_.SetDevices({.serial_ports = &ports, .files = &files_});
    }
    FarEnd OpenFarEnd(int port);

    // Opens COM<port> from the window with the current line settings.
    void OpenPort(int itemIndex = 0);
    // Starts the program, opens COM1 at the start settings and returns its far end DEV1.
    FarEnd StartOpen();
    // The far end writes the bytes; returns once the handlers have taken every one of them.
    void Receive(FarEnd& far, std::string_view bytes);

  private:
    platform::Control* ControlOf(uint32_t unitId);
    // Clicks the main window at the middle of the unit's place (or `dx` pixels left of its right
    // edge); true when the click reached the unit.
    bool ClickAt(uint32_t unitId, int dx = 0);
    void OpenList(uint32_t unitId);  // clicks a combo box's arrow; its list must open
    template <class T>
    T* As(uint32_t unitId);

    std::vector<int> ports_;
    platform::VirtualSerialHub hub_;
    platform::PosixFiles files_;
    platform::headless::HeadlessPlatform platform_{{.serial_ports = &hub_, .files = &files_}};
    std::unique_ptr<platform::ScopedInstall> install_;
    // The run's state objects, made fresh for each run and gone before the backend.
    std::unique_ptr<app::AssistantStates> states_;
    bool started_ = false;
    uint64_t startMs_ = 0;
};

}  // namespace kesu::e2e
