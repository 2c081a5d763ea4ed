// The same loading on the Qt backend (offscreen): the window shows with its title at its place.
#include <QWidget>

#include "platform/qt/qt_platform.h"
#include "tests/runtime/frame_fixture.h"

namespace kesu::test {
namespace {

TEST(WindowOnQt, LoadsAndShowsWithItsTitleAtItsPlace) {
    platform::qt::QtPlatform desktop;
    platform::ScopedInstall install(desktop);
    RuntimeSandbox sandbox;
    ProgramImage image;
    image.header.codeBase = kCodeBase;
    LibraryInfo lib;
    lib.identifier = kFrameLibraryId;
    lib.types.resize(1);
    lib.types[0] = WindowTypeDescriptor();
    image.libraries.push_back(lib);
    image.constants.assign(4, 0);
    WindowTemplate w = Window(kMain, "Kesu V3.0");
    w.records[0].left = 70;
    w.records[0].top = 80;
    w.records[0].width = 320;
    w.records[0].height = 200;
    image.windows.push_back(w);
    const std::vector<uint8_t> bytes = tools::BuildProgramImage(image);
    NativeLibrary native;
    native.identifier = kFrameLibraryId;
    native.unitInterfaces = {WindowInterface};
    RegisterLibrary(native);
    SetProgramImage(bytes);
    static const EventHandler none[1] = {nullptr};
    SetEventHandlers(none);
    InitialiseRuntime();
    LoadStartupWindow(kMain);

    auto* unit = dynamic_cast<WindowUnit*>(FindUnit(kMain, 0));
    ASSERT_NE(unit, nullptr);
    QWidget* widget = platform::qt::WidgetOf(unit->window());
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(widget->windowTitle().toStdString(), "Kesu V3.0");
    EXPECT_EQ(unit->window().Geometry(), (platform::Rect{70, 80, 320, 200}));
    EXPECT_EQ(ReadUnitProperty(kMain, 0, 2, 0), 320u);
    ResetFrame();
}

}  // namespace
}  // namespace kesu::test
