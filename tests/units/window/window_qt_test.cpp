// The same loading on the Qt backend (offscreen): the window shows with its title at its place, and
// what the window system reports while it shows adds nothing to the first events.
#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include "platform/qt/qt_platform.h"
#include "tests/runtime/frame_fixture.h"

namespace kesu::test {
namespace {

class WindowOnQt : public ::testing::Test {
  protected:
    WindowOnQt() { Calls().clear(); }
    ~WindowOnQt() override { ResetFrame(); }

    // Starts the runtime over one window and loads it, its own events bound as given.
    void Load(const WindowTemplate& w, std::span<const EventHandler> handlers) {
        image.header.codeBase = kCodeBase;
        LibraryInfo lib;
        lib.identifier = kFrameLibraryId;
        lib.types.resize(1);
        lib.types[0] = WindowTypeDescriptor();
        image.libraries.push_back(lib);
        image.constants.assign(4, 0);
        image.windows.push_back(w);
        bytes = tools::BuildProgramImage(image);
        NativeLibrary native;
        native.identifier = kFrameLibraryId;
        native.unitInterfaces = {WindowInterface};
        RegisterLibrary(native);
        SetProgramImage(bytes);
        SetEventHandlers(handlers);
        InitialiseRuntime();
        LoadStartupWindow(kMain);
    }

    platform::qt::QtPlatform desktop;
    platform::ScopedInstall install{desktop};
    RuntimeSandbox sandbox;
    ProgramImage image;
    std::vector<uint8_t> bytes;
};

TEST_F(WindowOnQt, LoadsAndShowsWithItsTitleAtItsPlace) {
    WindowTemplate w = Window(kMain, "Kesu V3.0");
    w.records[0].left = 70;
    w.records[0].top = 80;
    w.records[0].width = 320;
    w.records[0].height = 200;
    static const EventHandler none[1] = {nullptr};
    Load(w, none);

    auto* unit = dynamic_cast<WindowUnit*>(FindUnit(kMain, 0));
    ASSERT_NE(unit, nullptr);
    QWidget* widget = platform::qt::WidgetOf(unit->window());
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(widget->windowTitle().toStdString(), "Kesu V3.0");
    EXPECT_EQ(unit->window().Geometry(), (platform::Rect{70, 80, 320, 200}));
    EXPECT_EQ(ReadUnitProperty(kMain, 0, 2, 0), 320u);
}

TEST_F(WindowOnQt, ShowingAddsOnlyTheActivationToTheFirstEvents) {
    // Centred at creation, so the window system places it where the template did not.
    WindowTemplate w = Window(kMain);
    w.records[0].typeData = WindowBlock("main", 1);
    w.records[0].events = {Bind(0, 0), Bind(3, 1), Bind(4, 2), Bind(5, 3), Bind(10, 4)};
    Load(w, kHandlers);
    auto seen = [] {
        std::vector<int> out;
        for (const Call& c : Calls()) out.push_back(c.slot);
        return out;
    };
    // The activation comes when the window system gets round to it; anything late comes with it.
    QElapsedTimer t;
    t.start();
    while (seen().size() < 5 && t.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        desktop.Loop().ProcessPending();
    }
    EXPECT_EQ(seen(), (std::vector<int>{0, 1, 2, 4, 3}));
}

}  // namespace
}  // namespace kesu::test
