// A window's menu, notification-area icon and drawn mouse pointers on the headless backend,
// loaded from a template made with the image builder.
#include "tests/units/window/window_pieces.h"

#include "platform/headless/headless.h"
#include "runtime/mouse_pointer.h"

namespace kesu::test {
namespace {

constexpr int kTrayIcon = 20;
constexpr int kMousePointer = 7;

uint64_t Pointer(const void* p) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p));
}
void Write(uint32_t unit, int property, uint64_t value) {
    WriteUnitProperty(kMain, unit, property, 0, static_cast<uint32_t>(value),
                      static_cast<uint32_t>(value >> 32));
}
std::string ReadText(uint32_t unit, int property) {
    char* text = reinterpret_cast<char*>(ReadUnitProperty(kMain, unit, property, 0));
    std::string out = TextToString(text);
    MemFree(text);
    return out;
}
void WriteBytes(uint32_t unit, int property, const std::vector<uint8_t>& bytes) {
    uint8_t* set = bytes.empty() ? nullptr : MakeByteSet(bytes.data(), bytes.size());
    Write(unit, property, Pointer(set));
    MemFree(set);
}

class WindowPiecesTest : public FrameTest {
  protected:
    void Open(const WindowTemplate& w, bool load = true) {
        AddPiecesTypes(image.libraries[0]);
        extra_interfaces = {{kLabelType - 0x10001, units::LabelInterface}};
        image.windows.push_back(w);
        Start();
        if (load) Load();
    }
    platform::headless::HeadlessUi& ui() { return platform_.ui(); }
    std::vector<int> Slots() {
        std::vector<int> out;
        for (const Call& c : Calls()) out.push_back(c.slot);
        return out;
    }
};

TEST_F(WindowPiecesTest, MenuIsBuiltChosenAndServedLive) {
    Open(PiecesWindow());
    auto* native = Native();
    ASSERT_NE(native->GetMenuBar(), nullptr);
    // The bar belongs to the frame: the units' area below it is smaller by its height.
    EXPECT_EQ(native->ClientRect().height, 300 - platform::FrameFor(native->Style(), true).top - 3);

    // The user chooses 文件 > 打开, then its shortcut; both raise the item's event 0 with the
    // item as the event's source.
    EXPECT_TRUE(native->UserChooseMenu({Gbk("文件(F)"), Gbk("打开(O)")}));
    EXPECT_TRUE(native->UserShortcut("Ctrl+O"));
    ASSERT_EQ(Slots(), (std::vector<int>{1, 1}));
    EXPECT_EQ(Calls()[0].source_unit, kOpenItem);
    // A pop-up, a separator and a disabled entry are not chosen.
    EXPECT_FALSE(native->UserChooseMenu({Gbk("文件(F)"), Gbk("最近")}));
    EXPECT_FALSE(native->UserChooseMenu({Gbk("文件(F)"), "-"}));
    EXPECT_FALSE(native->UserChooseMenu({Gbk("帮助")}));
    EXPECT_TRUE(native->UserChooseMenu({Gbk("文件(F)"), Gbk("最近"), "a.txt"}));
    EXPECT_EQ(Slots().back(), 2);

    // Properties 0 to 3: read from the live menu, written to the record and the menu.
    EXPECT_EQ(ReadUnitProperty(kMain, kRecentItem, 1, 0), 1u);
    EXPECT_EQ(ReadUnitProperty(kMain, kHelpMenu, 2, 0), 1u);
    Write(kRecentItem, 1, 0);
    Write(kHelpMenu, 2, 0);
    Write(kRecentItem, 0, Pointer("b.txt"));
    Write(kOpenItem, 3, 0);
    EXPECT_FALSE(native->GetMenuBar()->Entry(4).checked);
    EXPECT_EQ(ReadText(kRecentItem, 0), "b.txt");
    EXPECT_EQ(ReadUnitProperty(kMain, kOpenItem, 3, 0), 0u);
    EXPECT_FALSE(native->UserShortcut("Ctrl+O"));  // hidden
    EXPECT_TRUE(native->UserChooseMenu({Gbk("帮助")}));
    EXPECT_TRUE(native->UserChooseMenu({Gbk("文件(F)"), Gbk("最近"), "b.txt"}));

    // Closed, the window's menu is read from its records, which kept the writes.
    Win()->RequestClose();
    loop().ProcessPending();
    EXPECT_EQ(ui().MenuBarCount(), 0);
    EXPECT_EQ(ReadText(kRecentItem, 0), "b.txt");
    EXPECT_EQ(ReadUnitProperty(kMain, kRecentItem, 1, 0), 0u);
    EXPECT_EQ(ReadUnitProperty(kMain, kHelpMenu, 2, 0), 0u);
}

TEST_F(WindowPiecesTest, AWindowThatCannotBeCreatedLeavesNoMenu) {
    WindowTemplate w = PiecesWindow();
    w.records[0].typeData[0] = 7;  // a window block newer than any known
    Open(w, false);
    EXPECT_EQ(LoadWindowAndWait(kMain, nullptr, false), -1);
    EXPECT_EQ(Win(), nullptr);
    EXPECT_EQ(ui().MenuBarCount(), 0);
}

TEST_F(WindowPiecesTest, NotificationAreaIconFollowsTheWindowProperties) {
    Open(PiecesWindow());
    ASSERT_EQ(ui().TrayIcons().size(), 1u);
    auto* tray = ui().TrayIcons()[0];
    EXPECT_EQ(tray->Icon(), "tray picture");
    // 62 bytes of the tip: the double-byte character across the limit is left out whole.
    EXPECT_EQ(tray->Tip(), std::string(61, 't'));
    for (auto how : {platform::TrayClick::LeftReleased, platform::TrayClick::LeftDoubleClick,
                     platform::TrayClick::Context}) {
        tray->UserClick(how);
    }
    ASSERT_EQ(Calls().size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Calls()[i].args, std::vector<uint32_t>{i + 1});

    WriteBytes(0, kTrayIcon, {});
    EXPECT_TRUE(ui().TrayIcons().empty());
    // Without a notification area the icon is not shown, and the property still holds it.
    ui().SetTrayAvailable(false);
    WriteBytes(0, kTrayIcon, Bytes("again"));
    EXPECT_TRUE(ui().TrayIcons().empty());
    uint8_t* back = reinterpret_cast<uint8_t*>(ReadUnitProperty(kMain, 0, kTrayIcon, 0));
    EXPECT_EQ(ByteSetLength(back), 5u);
    MemFree(back);
    ui().SetTrayAvailable(true);
    Win()->RequestClose();
    EXPECT_TRUE(ui().TrayIcons().empty());
}

TEST_F(WindowPiecesTest, PointersFromCursorDataAndTheProgramsHand) {
    Open(PiecesWindow());
    auto* node =
        dynamic_cast<platform::headless::Node*>(Unit<units::LabelUnit>(kPointed)->control());
    ASSERT_NE(node, nullptr);
    ASSERT_TRUE(node->GetCursorImage().has_value());
    const platform::CursorImage& cursor = *node->GetCursorImage();
    EXPECT_EQ(cursor.width, 8);
    EXPECT_EQ(cursor.height, 8);
    EXPECT_EQ(std::make_pair(cursor.hot_x, cursor.hot_y), std::make_pair(3, 5));
    EXPECT_EQ(cursor.argb[0], 0u);               // left out by the mask
    EXPECT_EQ(cursor.argb[1], 0xFFFF0000u);      // red
    EXPECT_EQ(cursor.argb[7 * 8], 0xFF0000FFu);  // the bottom row is blue

    // The hand is the program's own picture; a table row is the system's shape again.
    WriteBytes(kPointed, kMousePointer, {14, 0, 0, 0});
    EXPECT_EQ(node->GetCursorImage(), ProgramHandCursor());
    EXPECT_EQ(Unit<units::LabelUnit>(kPointed)->cursor_id(), kHandCursorId);
    WriteBytes(kPointed, kMousePointer, {2, 0, 0, 0});
    EXPECT_FALSE(node->GetCursorImage().has_value());
    EXPECT_EQ(node->GetCursor(), platform::Cursor::Cross);
    // The first frame of an animated cursor, also after a first word of -1.
    std::vector<uint8_t> animated = AnimatedCursor(CursorFile());
    animated.insert(animated.begin(), 4, 0xFF);
    WriteBytes(kPointed, kMousePointer, animated);
    ASSERT_TRUE(node->GetCursorImage().has_value());
    EXPECT_EQ(*node->GetCursorImage(), cursor);
    // Damaged data gives the default pointer.
    std::vector<uint8_t> damaged = CursorFile();
    damaged.resize(60);
    WriteBytes(kPointed, kMousePointer, damaged);
    EXPECT_FALSE(node->GetCursorImage().has_value());
    EXPECT_EQ(node->GetCursor(), platform::Cursor::Default);
}

}  // namespace
}  // namespace kesu::test
