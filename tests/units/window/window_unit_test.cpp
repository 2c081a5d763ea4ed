// The window unit over the headless backend: its properties and clamps, frame decorations and
// their re-evaluation, the live window state, staying on top, its events from the user and the
// system, and its stored block.
#include "tests/runtime/frame_fixture.h"
#include "units/window/window.h"

namespace kesu::test {
namespace {

constexpr int kTitle = 8;
constexpr int kFrameStyle = 9;
constexpr int kBackColour = 10;
constexpr int kBackPicture = 11;
constexpr int kPictureLayout = 12;
constexpr int kControlBox = 15;
constexpr int kMaxButton = 16;
constexpr int kWindowState = 18;
constexpr int kAlwaysOnTop = 29;

void WriteWord(int property, int32_t v, uint32_t window = kMain) {
    WriteUnitProperty(window, 0, property, 0, static_cast<uint32_t>(v), 0);
}
int32_t ReadWord(int property, uint32_t window = kMain) {
    return static_cast<int32_t>(ReadUnitProperty(window, 0, property, 0));
}
void WriteTitle(const char* text) {
    const auto bits = reinterpret_cast<uintptr_t>(text);
    WriteUnitProperty(kMain, 0, kTitle, 0, static_cast<uint32_t>(bits),
                      static_cast<uint32_t>(bits >> 32));
}
std::string ReadTitle() {
    char* text = reinterpret_cast<char*>(ReadUnitProperty(kMain, 0, kTitle, 0));
    std::string out = TextToString(text);
    MemFree(text);
    return out;
}

class WindowUnitTest : public FrameTest {
  protected:
    void Open(const units::WindowSettings& s) {
        WindowTemplate w = Window(kMain);
        w.records[0].typeData = Bytes(s.Save());
        image.windows.push_back(w);
        Start();
        Load();
    }
    void Open() {
        units::WindowSettings s;
        s.title = "Kesu";
        s.minButton = 1;
        s.windowState = 0;
        Open(s);
    }
};

TEST_F(WindowUnitTest, TitleShowsAtOnceAndReadsBack) {
    Open();
    EXPECT_EQ(Native()->Text(), "Kesu");
    // " 串口已关闭"
    const char* closed = " \xB4\xAE\xBF\xDA\xD2\xD1\xB9\xD8\xB1\xD5";
    WriteTitle(closed);
    EXPECT_EQ(Native()->Text(), closed);
    EXPECT_EQ(ReadTitle(), closed);
    WriteTitle(nullptr);
    EXPECT_EQ(Native()->Text(), "");
}

TEST_F(WindowUnitTest, FrameDecorationsFollowTitleAndControlBox) {
    Open();
    platform::WindowStyle style = Native()->Style();
    EXPECT_TRUE(style.caption);
    EXPECT_TRUE(style.system_menu);
    EXPECT_TRUE(style.min_button);
    EXPECT_FALSE(style.max_button);
    EXPECT_FALSE(style.sizable);

    WriteWord(kControlBox, 0);
    EXPECT_TRUE(Native()->Style().caption);  // the title keeps the title bar
    EXPECT_FALSE(Native()->Style().system_menu);
    WriteTitle("");
    EXPECT_FALSE(Native()->Style().caption);
    WriteTitle("back");
    EXPECT_TRUE(Native()->Style().caption);
    WriteWord(kMaxButton, 1);
    EXPECT_TRUE(Native()->Style().max_button);
    WriteWord(kFrameStyle, 3);
    EXPECT_TRUE(Native()->Style().sizable);
    EXPECT_TRUE(Native()->Style().tool_window);
    WriteWord(kFrameStyle, 0);  // no frame, no title bar
    EXPECT_FALSE(Native()->Style().caption);
}

TEST_F(WindowUnitTest, ChoicesAreClamped) {
    Open();
    WriteWord(kFrameStyle, 9);
    EXPECT_EQ(ReadWord(kFrameStyle), 6);
    WriteWord(kFrameStyle, -2);
    EXPECT_EQ(ReadWord(kFrameStyle), 0);
    WriteWord(12, 8);  // picture layout
    EXPECT_EQ(ReadWord(12), 3);
    WriteWord(14, 5);  // icon option
    EXPECT_EQ(ReadWord(14), 2);
    WriteWord(28, 40);
    EXPECT_EQ(ReadWord(28), 29);
    WriteWord(kBackColour, 0x00123456);
    EXPECT_EQ(ReadWord(kBackColour), 0x00123456);
    WriteWord(21, 77);  // a further setting is kept as it is
    EXPECT_EQ(ReadWord(21), 77);
}

TEST_F(WindowUnitTest, BackPictureLayoutAndIconReachTheWindow) {
    units::WindowSettings s;
    s.backPicture = "BMstored";
    s.pictureLayout = 3;
    s.icon = "icon bytes";
    Open(s);
    EXPECT_EQ(Native()->BackPicture(), "BMstored");
    EXPECT_EQ(Native()->BackPictureLayout(), platform::PictureLayout::Centred);
    EXPECT_EQ(Native()->Icon(), "icon bytes");
    uint8_t* picture = MakeByteSet("GIF89a", 6);
    auto bits = reinterpret_cast<uintptr_t>(picture);
    WriteUnitProperty(kMain, 0, kBackPicture, 0, static_cast<uint32_t>(bits),
                      static_cast<uint32_t>(bits >> 32));
    MemFree(picture);
    EXPECT_EQ(Native()->BackPicture(), "GIF89a");
    WriteWord(kPictureLayout, 9);  // clamped to the last layout
    EXPECT_EQ(ReadWord(kPictureLayout), 3);
    WriteWord(kPictureLayout, 2);
    EXPECT_EQ(Native()->BackPictureLayout(), platform::PictureLayout::Tiled);
    EXPECT_EQ(Native()->BackPicture(), "GIF89a");
}

TEST_F(WindowUnitTest, WindowStateReadsTheLiveState) {
    Open();
    WriteWord(kWindowState, 3);
    EXPECT_EQ(ReadWord(kWindowState), 3);
    Native()->UserShow(platform::WindowShow::Minimised);
    EXPECT_EQ(ReadWord(kWindowState), 2);
    WriteWord(kWindowState, 0);
    EXPECT_EQ(ReadWord(kWindowState), 0);
    // 1 restores and centres on the screen.
    platform_.ui().SetScreen({0, 0, 1000, 800});
    WriteWord(kWindowState, 1);
    EXPECT_EQ(Native()->Geometry(), (platform::Rect{300, 250, 400, 300}));
}

TEST_F(WindowUnitTest, StartPositionAppliesAtTheFirstShow) {
    units::WindowSettings s;
    s.windowState = 2;
    Open(s);
    EXPECT_EQ(Native()->State(), platform::WindowShow::Minimised);
    EXPECT_TRUE(Native()->IsVisible());
}

// Only a window with a sizable frame starts maximised; a fixed frame shows normally, though a
// later write of the state maximises it.
TEST_F(WindowUnitTest, StartPositionThreeMaximisesOnlyASizableFrame) {
    units::WindowSettings s;
    s.windowState = 3;
    s.frameStyle = 2;
    Open(s);
    EXPECT_EQ(Native()->State(), platform::WindowShow::Normal);
    EXPECT_TRUE(Native()->IsVisible());
    WriteWord(kWindowState, 3);
    EXPECT_EQ(ReadWord(kWindowState), 3);
}

TEST_F(WindowUnitTest, StartPositionOneCentresTheNewWindow) {
    platform_.ui().SetScreen({0, 0, 1200, 900});
    units::WindowSettings s;
    s.windowState = 1;
    Open(s);
    EXPECT_EQ(Native()->Geometry(), (platform::Rect{400, 300, 400, 300}));
}

TEST_F(WindowUnitTest, AlwaysOnTopAndLeavingItKeepsOthersOnTop) {
    image.windows.push_back(Window(kOther));
    Open();
    LoadWindowAndWait(kOther, nullptr, false);
    WriteWord(kAlwaysOnTop, 1);
    WriteWord(kAlwaysOnTop, 1, kOther);
    EXPECT_TRUE(Native()->AlwaysOnTop());
    WriteWord(kAlwaysOnTop, 0);
    EXPECT_FALSE(Native()->AlwaysOnTop());
    EXPECT_TRUE(Native(kOther)->AlwaysOnTop());
    EXPECT_EQ(ReadWord(kAlwaysOnTop), 0);
}

TEST_F(WindowUnitTest, ShownHiddenAndRequestCloseEvents) {
    WindowTemplate w = Window(kMain);
    w.records[0].events = {Bind(10, 0), Bind(11, 1), Bind(1, 2)};
    image.windows.push_back(w);
    Start();
    Load();
    Calls().clear();
    WriteWord(5, 0);  // visible false
    WriteWord(5, 1);
    ASSERT_GE(Calls().size(), 2u);
    EXPECT_EQ(Calls()[0].slot, 1);
    EXPECT_EQ(Calls()[1].slot, 0);
    EXPECT_TRUE(Win()->RequestClose());
    EXPECT_EQ(Win(), nullptr);
}

// Slots of the window's own events in the tests below.
enum Slot { kCreated, kMoved, kResized, kActivated, kDeactivated, kShown };

std::vector<int> Slots() {
    std::vector<int> out;
    for (const Call& c : Calls()) out.push_back(c.slot);
    return out;
}

class WindowEventsTest : public WindowUnitTest {
  protected:
    // Loads the main window (start position `state`) with its own events bound.
    void OpenBound(int32_t state) {
        WindowTemplate w = Window(kMain);
        w.records[0].typeData = WindowBlock("main", state);
        w.records[0].events = {Bind(0, kCreated),   Bind(3, kMoved),       Bind(4, kResized),
                               Bind(5, kActivated), Bind(6, kDeactivated), Bind(10, kShown)};
        image.windows.push_back(w);
        image.windows.push_back(Window(kOther));
        Start();
        Load();
    }
};

TEST_F(WindowEventsTest, LoadingRaisesMovedAndResizedOnceBeforeShowing) {
    // Centred at creation: the window is placed before anyone listens.
    OpenBound(1);
    EXPECT_EQ(Slots(), (std::vector<int>{kCreated, kMoved, kResized, kShown, kActivated}));
    EXPECT_TRUE(Native()->Active());
}

TEST_F(WindowEventsTest, UserAndProgramMovesResizesAndActivation) {
    OpenBound(0);
    Calls().clear();
    Native()->UserMove(5, 6);
    Native()->UserMove(5, 6);  // nowhere new: nothing to report
    Native()->UserResize(420, 310);
    EXPECT_EQ(Slots(), (std::vector<int>{kMoved, kResized}));
    EXPECT_EQ(ReadWord(0), 5);
    EXPECT_EQ(ReadWord(2), 420);

    // The program's own moves are moves as well; writing the same value is not.
    Calls().clear();
    WriteWord(1, 40);
    WriteWord(1, 40);
    WriteWord(3, 200);
    EXPECT_EQ(Slots(), (std::vector<int>{kMoved, kResized}));

    // Another window opening takes the activation; the user comes back, then leaves.
    Calls().clear();
    LoadWindowAndWait(kOther, nullptr, false);
    EXPECT_EQ(Slots(), (std::vector<int>{kDeactivated}));
    Native()->UserActivate();
    Native()->UserActivate();
    Native()->UserDeactivate();
    EXPECT_EQ(Slots(), (std::vector<int>{kDeactivated, kActivated, kDeactivated}));
    EXPECT_EQ(Native(kOther)->Active(), false);
}

TEST_F(WindowEventsTest, ClosingInDeactivatedLeavesTheNextWindowActive) {
    OpenBound(0);
    Script(kDeactivated) = [&](auto) {
        DestroyLoadedWindow(kMain);
        return EventResult{};
    };
    LoadWindowAndWait(kOther, nullptr, false);
    EXPECT_EQ(Win(), nullptr);
    EXPECT_TRUE(Native(kOther)->Active());
    // A window that is gone hears nothing more.
    Calls().clear();
    Native(kOther)->UserDeactivate();
    EXPECT_TRUE(Calls().empty());
}

TEST_F(WindowEventsTest, WindowShowsItsMousePointer) {
    WindowTemplate w = Window(kMain);
    w.records[0].mousePointer = {2};  // row 2: the cross
    image.windows.push_back(w);
    Start();
    Load();
    EXPECT_EQ(Native()->GetCursor(), platform::Cursor::Cross);
}

TEST(WindowSettingsBlock, RoundTripDefaultsAndFailures) {
    units::WindowSettings s;
    s.title = "title";
    s.trayTip = "t30";
    s.backPicture = std::string("\0\1\2", 3);
    s.alwaysOnTop = 1;
    s.further21To24[2] = 9;
    units::WindowSettings back;
    ASSERT_TRUE(back.Load(s.Save()));
    EXPECT_EQ(back.Save(), s.Save());
    EXPECT_EQ(back.title, "title");
    EXPECT_EQ(back.backPicture, s.backPicture);

    // An empty block keeps the defaults.
    units::WindowSettings defaults;
    ASSERT_TRUE(defaults.Load(""));
    EXPECT_EQ(defaults.frameStyle, 2);
    EXPECT_EQ(defaults.controlBox, 1);
    EXPECT_EQ(defaults.windowState, 1);

    std::string newer = s.Save();
    newer[0] = 7;
    EXPECT_FALSE(back.Load(newer));
    std::string cut = s.Save();
    cut.pop_back();
    EXPECT_FALSE(back.Load(cut));
}

TEST(WindowSettingsBlock, AVersionAboveSixIsRejected) {
    units::WindowSettings d;
    std::string bytes = d.Save();
    bytes[0] = 7;
    units::WindowSettings out;
    EXPECT_FALSE(out.Load(bytes));
    bytes[0] = 6;
    EXPECT_TRUE(out.Load(bytes));
    bytes.pop_back();
    EXPECT_FALSE(out.Load(bytes));
}

TEST(WindowSettingsBlock, OlderVersionsCarryOnlyTheirFields) {
    // Version 1: 14 words then five empty counted fields.
    units::WindowSettings d;
    EXPECT_EQ(d.Save(1).size(), 14u * 4 + 5 * 4);
    EXPECT_EQ(d.Save(5).size(), 14u * 4 + 5 * 4 + 5 * 4);
    EXPECT_EQ(d.Save(6).size(), 14u * 4 + 5 * 4 + 6 * 4);
    // Defaults are what an empty title and old versions read back as.
    units::WindowSettings read;
    ASSERT_TRUE(read.Load(units::WindowSettings{}.Save()));
    EXPECT_EQ(read, units::WindowSettings{});
    EXPECT_EQ(read.frameStyle, 2);
    EXPECT_EQ(read.backColour, 0xFF000000u);
    EXPECT_TRUE(read.title.empty());
}

TEST(WindowFrame, DecorationTable) {
    units::WindowSettings s;
    s.title = "";
    s.controlBox = 0;
    EXPECT_FALSE(units::ComputeFrameDecoration(s).titleBar);
    EXPECT_TRUE(units::ComputeFrameDecoration(s).frame);
    s.frameStyle = 5;
    units::FrameDecoration d = units::ComputeFrameDecoration(s);
    EXPECT_TRUE(d.resizable && d.sunkenEdge && !d.toolWindow);
    s.frameStyle = 4;
    d = units::ComputeFrameDecoration(s);
    EXPECT_TRUE(!d.resizable && d.toolWindow);
    s.frameStyle = 0;
    s.controlBox = 1;
    s.minButton = 1;
    d = units::ComputeFrameDecoration(s);
    EXPECT_FALSE(d.titleBar || d.systemMenu || d.frame);
    EXPECT_TRUE(d.minButton);
}

}  // namespace
}  // namespace kesu::test
