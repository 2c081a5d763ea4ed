#include "tests/e2e/assistant_harness.h"

#include <chrono>
#include <thread>

#include "app/commands.h"
#include "app/program.h"
#include "app/state.h"
#include "platform/headless/headless_ui.h"
#include "runtime/dispatch.h"
#include "runtime/library.h"
#include "runtime/sysfunc.h"
#include "runtime/unit.h"
#include "runtime/windows.h"

namespace kesu::e2e {

using namespace std::chrono_literals;
using platform::headless::HeadlessCheckBox;
using platform::headless::HeadlessComboBox;
using platform::headless::HeadlessEdit;
using platform::headless::HeadlessWindow;

namespace {
constexpr auto kDeadline = 20s;
}

FarEnd::FarEnd(std::unique_ptr<platform::SerialDevice> device) : device_(std::move(device)) {}

std::string FarEnd::Take(size_t atLeast) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (true) {
        uint32_t errors = 0;
        size_t waiting = 0;
        if (device_->ClearErrors(errors, waiting) && waiting > 0) {
            std::string chunk(waiting, '\0');
            chunk.resize(device_->Read(reinterpret_cast<uint8_t*>(chunk.data()), chunk.size()));
            got += chunk;
        }
        if (got.size() >= atLeast || std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(1ms);
    }
    return got;
}

void FarEnd::Write(std::string_view bytes) {
    EXPECT_TRUE(device_->Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

AssistantHarness::AssistantHarness(std::vector<int> ports) : ports_(std::move(ports)) {}

AssistantHarness::~AssistantHarness() = default;

void AssistantHarness::SetUp() {
    install_ = std::make_unique<platform::ScopedInstall>(platform_);
    states_ = std::make_unique<app::AssistantStates>();
    for (int n : ports_) {
        ASSERT_TRUE(hub_.AddPair("COM" + std::to_string(n), "DEV" + std::to_string(n)));
    }
    loop().SetStallTimeout(std::chrono::duration_cast<std::chrono::milliseconds>(kDeadline));
}

void AssistantHarness::Start() {
    app::InstallAssistant();
    startMs_ = loop().NowMs();
    app::StartAssistant();
    started_ = true;
}

void AssistantHarness::TearDown() {
    if (started_) {
        WaitForWorkers();
        app::StopAssistant();
    }
    states_.reset();
    install_.reset();
}

void AssistantHarness::RunUntil(const std::function<bool()>& done, const char* what) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "timed out waiting for " << what;
            return;
        }
        loop().ProcessPending();
        std::this_thread::sleep_for(200us);
    }
}

void AssistantHarness::WaitForWorkers() {
    EXPECT_TRUE(app::JoinWorkers()) << "timed out waiting for the workers to end";
    loop().ProcessPending();
}

platform::Control* AssistantHarness::ControlOf(uint32_t unitId) {
    Unit* unit = FindUnit(app::kMainWindowId, unitId);
    return unit ? unit->control() : nullptr;
}

template <class T>
T* AssistantHarness::As(uint32_t unitId) {
    T* control = dynamic_cast<T*>(ControlOf(unitId));
    EXPECT_NE(control, nullptr) << "unit " << std::hex << unitId;
    return control;
}

std::string AssistantHarness::Title() {
    return ControlOf(kWindowRecordId)->Text();
}

std::string AssistantHarness::TextOf(uint32_t unitId) {
    platform::Control* control = ControlOf(unitId);
    return control ? control->Text() : std::string();
}

bool AssistantHarness::Checked(uint32_t unitId) {
    auto* box = As<HeadlessCheckBox>(unitId);
    return box && box->IsChecked();
}

bool AssistantHarness::Enabled(uint32_t unitId) {
    platform::Control* control = ControlOf(unitId);
    return control && control->IsEnabled();
}

uint32_t AssistantHarness::TextColour(uint32_t unitId) {
    auto* edit = As<HeadlessEdit>(unitId);
    return edit ? edit->TextColour() : 0;
}

std::vector<std::string> AssistantHarness::Items(uint32_t unitId) {
    std::vector<std::string> items;
    if (auto* combo = As<HeadlessComboBox>(unitId)) {
        for (int i = 0; i < combo->Count(); ++i) items.push_back(combo->Item(i));
    }
    return items;
}

std::string AssistantHarness::ItemToolTip(uint32_t unitId, int index) {
    auto* combo = As<HeadlessComboBox>(unitId);
    return combo ? combo->ItemToolTip(index) : std::string();
}

int AssistantHarness::CurrentItem(uint32_t unitId) {
    auto* combo = As<HeadlessComboBox>(unitId);
    return combo ? combo->Current() : -2;
}

bool AssistantHarness::ClickAt(uint32_t unitId, int dx) {
    auto* node = dynamic_cast<platform::headless::Node*>(ControlOf(unitId));
    auto* window = dynamic_cast<HeadlessWindow*>(ControlOf(kWindowRecordId));
    if (!node || !window) return false;
    // Like a user: aim at the middle of what the unit shows (or `dx` from its right edge), and
    // let the window decide what lies there.
    const platform::Rect r = node->WindowRect();
    const int x = dx > 0 ? r.left + r.width - dx : r.left + r.width / 2;
    const bool reached = platform_.ui().UserClickAt(*window, x, r.top + r.height / 2) == node;
    loop().ProcessPending();
    return reached;
}

bool AssistantHarness::TryClick(uint32_t unitId) {
    // A disabled control lets the click through to what lies beneath it.
    return ClickAt(unitId);
}

void AssistantHarness::Click(uint32_t unitId) {
    EXPECT_TRUE(TryClick(unitId)) << "could not click unit " << std::hex << unitId;
}

void AssistantHarness::TypeInto(uint32_t unitId, std::string_view gbk) {
    // Click into the field, select everything with the keyboard, type over it.
    ASSERT_TRUE(ClickAt(unitId)) << "unit " << std::hex << unitId << " cannot be clicked";
    auto& ui = platform_.ui();
    ASSERT_EQ(ui.Focused(), dynamic_cast<platform::headless::Node*>(ControlOf(unitId)));
    ASSERT_TRUE(ui.UserSelectAll());
    ASSERT_TRUE(ui.UserKeys(gbk)) << "unit " << std::hex << unitId << " takes no typing";
    loop().ProcessPending();
}

void AssistantHarness::OpenList(uint32_t unitId) {
    // The arrow at the right end of the box opens its list.
    auto* combo = As<HeadlessComboBox>(unitId);
    ASSERT_TRUE(combo && ClickAt(unitId, 5));
    ASSERT_TRUE(combo->DroppedDown());
}

void AssistantHarness::Pick(uint32_t unitId, int index) {
    OpenList(unitId);
    // The open list is a window of its own; the user picks a row in it.
    ASSERT_TRUE(As<HeadlessComboBox>(unitId)->UserPick(index));
    loop().ProcessPending();
}

void AssistantHarness::DropDown(uint32_t unitId) {
    OpenList(unitId);
    // A second click on the arrow closes the list again.
    ASSERT_TRUE(ClickAt(unitId, 5));
}

FarEnd AssistantHarness::OpenFarEnd(int port) {
    auto device = hub_.OpenNamed("DEV" + std::to_string(port));
    EXPECT_NE(device, nullptr);
    return FarEnd(std::move(device));
}

void AssistantHarness::PickPort(int index) {
    // Opening the port list rescans on a worker; the user waits for the list, then picks.
    OpenList(app::unit_id::kPortList);
    WaitForWorkers();
    ASSERT_TRUE(As<HeadlessComboBox>(app::unit_id::kPortList)->UserPick(index));
    loop().ProcessPending();
}

void AssistantHarness::OpenPort(int itemIndex) {
    PickPort(itemIndex);
    Click(app::unit_id::kPortButton);
}

FarEnd AssistantHarness::StartOpen() {
    Start();
    OpenPort(0);
    return OpenFarEnd(1);
}

void AssistantHarness::Receive(FarEnd& far, std::string_view bytes) {
    const int64_t before = app::Assistant().receivedCount;
    far.Write(bytes);
    RunUntil(
        [&] {
            return app::Assistant().receivedCount == before + static_cast<int64_t>(bytes.size());
        },
        "the bytes to arrive");
}

}  // namespace kesu::e2e
