// The same loading on the Qt backend (offscreen): the window shows with its title at its place,
// what the window system reports while it shows adds nothing to the first events, and the menu,
// the notification-area icon and the pointers work on the desktop.
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "platform/qt/qt_menu.h"
#include "platform/qt/qt_platform.h"
#include "tests/platform/qt_widgets.h"
#include "tests/units/window/window_pieces.h"

namespace kesu::test {
namespace {

class WindowOnQt : public ::testing::Test {
  protected:
    WindowOnQt() { Calls().clear(); }

    // Starts the runtime over one window and loads it, its own events bound as given. The library
    // also has menu items and labels.
    void Load(const WindowTemplate& w, std::span<const EventHandler> handlers) {
        image.header.codeBase = kCodeBase;
        LibraryInfo lib;
        lib.identifier = kFrameLibraryId;
        lib.types.resize(kLabelType - 0x10000);
        lib.types[0] = units::WindowTypeDescriptor();
        AddPiecesTypes(lib);
        image.libraries.push_back(lib);
        image.constants.assign(4, 0);
        image.windows.push_back(w);
        bytes = tools::BuildProgramImage(image);
        NativeLibrary native;
        native.identifier = kFrameLibraryId;
        native.unitInterfaces.assign(lib.types.size(), nullptr);
        native.unitInterfaces[0] = units::WindowInterface;
        native.unitInterfaces[kLabelType - 0x10001] = units::LabelInterface;
        RegisterLibrary(native);
        SetProgramImage(bytes);
        SetEventHandlers(handlers);
        InitialiseRuntime();
        LoadStartupWindow(kMain);
    }

    // Lets the window system catch up until `done`, for at most five seconds.
    bool WaitFor(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            desktop.Loop().ProcessPending();
        }
        return done();
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

    auto* unit = dynamic_cast<units::WindowUnit*>(FindUnit(kMain, 0));
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
    WaitFor([&] { return seen().size() >= 5; });
    EXPECT_EQ(seen(), (std::vector<int>{0, 1, 2, 4, 3}));
}

// The pieces template: the menu is a QMenuBar above the client area, chosen by clicks and keys at
// the window; offscreen has no notification area, which leaves the window as it is; the label
// shows the pointer drawn from its cursor data, and a new pointer at once.
TEST_F(WindowOnQt, MenuTrayAndPointerOnTheDesktop) {
    Load(PiecesWindow(), kHandlers);
    auto* unit = dynamic_cast<units::WindowUnit*>(FindUnit(kMain, 0));
    ASSERT_NE(unit, nullptr);
    QWidget* top = platform::qt::WidgetOf(unit->window());
    QWindow* window = top->windowHandle();
    ASSERT_TRUE(window && WaitFor([&] { return window->isExposed(); }));
    // Offscreen has no notification area: no icon, and the window loaded all the same.
    EXPECT_EQ(unit->tray_icon(), nullptr);

    auto* bar = dynamic_cast<platform::qt::QtMenuBar*>(unit->window().GetMenuBar());
    ASSERT_NE(bar, nullptr);
    // The bar is part of the frame: the label sits its height lower in the window.
    QWidget* label = platform::qt::WidgetOf(*FindUnit(kMain, kPointed)->control());
    EXPECT_EQ(label->mapTo(top, QPoint(0, 0)), QPoint(20, 30 + platform::kMenuBarHeight));

    // A click on 文件 in the bar opens its pop-up; a click on 打开 there chooses it.
    const QPoint file = bar->Bar()->actionGeometry(bar->ActionOf(0)).center();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, file);
    QMenu* popup = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return popup && popup->windowHandle() && popup->windowHandle()->isExposed();
    }));
    const QPoint open = popup->actionGeometry(bar->ActionOf(1)).center();
    QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, Qt::NoModifier, open);
    ASSERT_TRUE(WaitFor([] { return !Calls().empty(); }));
    EXPECT_EQ(Calls()[0].slot, 1);
    EXPECT_EQ(Calls()[0].source_unit, kOpenItem);
    // Its shortcut, typed at the window, chooses it again.
    ASSERT_TRUE(WaitFor([] { return QApplication::activePopupWidget() == nullptr; }));
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(WaitFor([] { return Calls().size() == 2; }));
    // A written caption shows at once.
    WriteUnitProperty(kMain, kOpenItem, 0, 0,
                      static_cast<uint32_t>(reinterpret_cast<uintptr_t>("Load")),
                      static_cast<uint32_t>(reinterpret_cast<uintptr_t>("Load") >> 32));
    EXPECT_EQ(bar->ActionOf(1)->text(), "Load");

    // The label's pointer is the cursor data's picture with its hot spot.
    EXPECT_EQ(label->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(label->cursor().hotSpot(), QPoint(3, 5));
    // With the mouse over the label, a new pointer shows without the mouse moving.
    QTest::mouseMove(window, label->mapTo(top, QPoint(10, 10)));
    WaitFor([&] { return window->cursor().shape() == Qt::BitmapCursor; });
    uint8_t* cross = MakeByteSet("\x02\0\0\0", 4);
    const auto bits = reinterpret_cast<uintptr_t>(cross);
    WriteUnitProperty(kMain, kPointed, 7, 0, static_cast<uint32_t>(bits),
                      static_cast<uint32_t>(bits >> 32));
    MemFree(cross);
    EXPECT_EQ(window->cursor().shape(), Qt::CrossCursor);
}

}  // namespace
}  // namespace kesu::test
