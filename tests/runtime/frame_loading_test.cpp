// Loading windows from their templates: creation order, control ids, parents, stacking, cursors,
// visibility, the first events, suspension, focus, modal windows and failures.
#include "tests/runtime/frame_fixture.h"

namespace kesu::test {
namespace {

constexpr uint32_t kA = 0x16010001;
constexpr uint32_t kB = 0x16010002;
constexpr uint32_t kC = 0x16010003;

class LoadingTest : public FrameTest {};

TEST_F(LoadingTest, CreatesWindowFirstThenUnitsFromLastRecordDown) {
    WindowTemplate w = Window(kMain);
    w.records.push_back(Record(kA, kProbeType));
    w.records.push_back(Record(kB, kProbeType));
    w.records.push_back(Record(kC, kProbeType));
    image.windows.push_back(w);
    Start();
    Load();

    // Control ids follow creation order.
    const int first = LogIndex("create 16010003 id 100");
    ASSERT_NE(first, -1);
    EXPECT_EQ(LogIndex("create 16010002 id 110"), first + 1);
    EXPECT_EQ(LogIndex("create 16010001 id 120"), first + 2);
    ASSERT_NE(Win(), nullptr);
    EXPECT_TRUE(Native()->IsVisible());
    EXPECT_EQ(Native()->Text(), "main");
    EXPECT_EQ(Native()->Geometry(), (platform::Rect{50, 60, 400, 300}));
    // Every unit hears that all exist (last record first) before any hears the load completed.
    EXPECT_LT(LogIndex("units created 16010003"), LogIndex("units created 16010001"));
    EXPECT_LT(LogIndex("units created 16010001"), LogIndex("load complete 16010003"));
}

TEST_F(LoadingTest, ParentsStackingCursorsAndStateFlags) {
    WindowTemplate w = Window(kMain);
    UnitRecord group = Record(kA, kProbeType);
    group.children = {kB};
    UnitRecord child = Record(kB, kProbeType);
    child.parent = kA;
    child.stateFlags = 0x7;              // visible, disabled, tab stop
    child.mousePointer = {14, 0, 0, 0};  // row 14: the hand
    UnitRecord sibling = Record(kC, kProbeType);
    sibling.stateFlags = 0x0;    // hidden
    sibling.mousePointer = {3};  // a single byte is a row too
    w.records = {w.records[0], group, child, sibling};
    image.windows.push_back(w);
    Start();
    Load();

    EXPECT_EQ(Unit(kB)->parent_id, kA);
    EXPECT_EQ(Unit(kC)->parent_id, kWindowRecordId);
    // Each unit goes right after the nearest earlier record with the same parent, else on top.
    EXPECT_EQ(Unit(kA)->after, 0u);
    EXPECT_EQ(Unit(kB)->after, 0u);
    EXPECT_EQ(Unit(kC)->after, kA);
    EXPECT_EQ(Unit(kB)->cursor_id(), 0x7F89u);
    EXPECT_EQ(Unit(kC)->cursor_id(), 0x7F01u);
    EXPECT_EQ(Unit(kA)->cursor_id(), 0u);
    EXPECT_TRUE(Unit(kB)->IsVisible());
    EXPECT_FALSE(Unit(kB)->IsEnabled());
    EXPECT_EQ(Unit(kB)->style & (kStyleDisabled | kStyleTabStop), kStyleDisabled | kStyleTabStop);
    EXPECT_FALSE(Unit(kC)->IsVisible());
}

TEST_F(LoadingTest, NonVisualUnitsStayHiddenWhateverTheRecordSays) {
    WindowTemplate w = Window(kMain);
    w.records.push_back(Record(kA, kHiddenType));
    image.windows.push_back(w);
    Start();
    Load();
    EXPECT_FALSE(Unit(kA)->IsVisible());
    // Writing visible true does not show it either; the record keeps the bit.
    WriteUnitProperty(kMain, kA, 5, 0, 1, 0);
    EXPECT_FALSE(Unit(kA)->IsVisible());
    EXPECT_EQ(ReadUnitProperty(kMain, kA, 5, 0), 0u);
}

TEST_F(LoadingTest, FirstEventsInOrderAfterResumptionThenShowAndFocus) {
    WindowTemplate w = Window(kMain);
    w.records[0].events = {Bind(4, 2), Bind(0, 0), Bind(3, 1)};
    UnitRecord a = Record(kA, kProbeType);
    a.tabOrder = 5;
    UnitRecord b = Record(kB, kProbeType);
    b.tabOrder = 2;
    b.events = {Bind(-7, 3)};
    w.records = {w.records[0], a, b};
    image.windows.push_back(w);
    bool visible_in_created = true;
    Script(0) = [&](auto) {
        visible_in_created = Native()->IsVisible();
        EXPECT_EQ(EventSuspensionCount(), 0);
        return EventResult{};
    };
    Start();
    Load();
    ASSERT_EQ(Calls().size(), 4u);
    EXPECT_EQ(Calls()[0].slot, 0);
    EXPECT_EQ(Calls()[1].slot, 1);
    EXPECT_EQ(Calls()[2].slot, 2);
    // The window shows only after its first events; then the first tab stop gets the focus.
    EXPECT_FALSE(visible_in_created);
    EXPECT_EQ(Calls()[3].slot, 3);
    EXPECT_EQ(Calls()[3].source_unit, kB);
    EXPECT_TRUE(Unit(kB)->focused);
    EXPECT_FALSE(Unit(kA)->focused);
}

TEST_F(LoadingTest, EventsRaisedWhileLoadingAreDropped) {
    WindowTemplate w = Window(kMain);
    w.records.push_back(Record(kA, kProbeType));
    w.records[1].events = {Bind(1, 4)};
    w.records[1].typeData = Bytes("raise while loading");
    image.windows.push_back(w);
    Start();
    Load();
    EXPECT_NE(LogIndex("raised while loading: 0"), -1);
    EXPECT_TRUE(Calls().empty());
    // Once loaded, the same event reaches its handler.
    EXPECT_TRUE(Unit(kA)->Raise(1));
    EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(LoadingTest, WindowClosingItselfInCreatedStopsTheFirstEvents) {
    WindowTemplate w = Window(kMain);
    w.records[0].events = {Bind(0, 0), Bind(3, 1), Bind(2, 2)};
    image.windows.push_back(w);
    Script(0) = [&](auto) {
        DestroyLoadedWindow(kMain);
        return EventResult{};
    };
    Start();
    Load();
    // Created ran, then Destroyed during it; Moved never came.
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(Calls()[1].slot, 2);
    EXPECT_EQ(Win(), nullptr);
    // The loop has no window: it returns at once.
    RunMessageLoop();
}

TEST_F(LoadingTest, LoadingAnOpenWindowCreatesNothingAndRestoresIt) {
    image.windows.push_back(Window(kMain));
    Start();
    Load();
    units::WindowUnit* first = Win();
    Native()->UserShow(platform::WindowShow::Minimised);
    EXPECT_EQ(LoadWindowAndWait(kMain, nullptr, false), 0);
    EXPECT_EQ(Win(), first);
    EXPECT_EQ(Native()->State(), platform::WindowShow::Normal);
}

TEST_F(LoadingTest, FailedUnitCreationFailsTheLoadAndReleasesEverything) {
    WindowTemplate w = Window(kMain);
    w.records.push_back(Record(kA, kProbeType));
    w.records.push_back(Record(kB, kProbeType));
    w.records[1].typeData = Bytes("fail");
    image.windows.push_back(w);
    Start();
    // B was created before A failed; it is released again.
    EXPECT_EQ(ExitCodeOf([] { LoadStartupWindow(kMain); }), -1);
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_NE(LastBox().find("\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC"),
              std::string::npos);
    EXPECT_NE(LogIndex("delete 16010002"), -1);
    EXPECT_EQ(FindUnit(kMain, kB), nullptr);
}

TEST_F(LoadingTest, StartupWindowMissingOrUncreatableEndsWithTheErrorBox) {
    image.windows.push_back(Window(kOther));
    Start();
    EXPECT_EQ(ExitCodeOf([] { LoadStartupWindow(kMain); }), -1);
    ASSERT_EQ(Boxes().size(), 1u);
    // 错误, the error icon and the OK button only.
    EXPECT_EQ(Boxes()[0].caption, "\xB4\xED\xCE\xF3");
    EXPECT_EQ(Boxes()[0].flags, platform::mb::kOk | platform::mb::kIconError);
    EXPECT_EQ(LastBox(),
              "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2"
              "\xA3\xBA\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC\r\n");
}

TEST_F(LoadingTest, EmptyTemplateBlockEndsWithStartupError) {
    Start();
    EXPECT_EQ(ExitCodeOf([] { LoadStartupWindow(kMain); }), -1);
    EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(LoadingTest, WindowBlockOfNewerVersionFailsTheLoad) {
    WindowTemplate w = Window(kMain);
    w.records[0].typeData[0] = 7;
    image.windows.push_back(w);
    Start();
    EXPECT_EQ(LoadWindowAndWait(kMain, nullptr, false), -1);
    EXPECT_EQ(Win(), nullptr);
}

TEST_F(LoadingTest, TemplateWhoseFirstRecordMakesNoWindowFailsTheLoad) {
    WindowTemplate w = Window(kMain);
    w.records[0].id = 0x26010001;  // record 0 is a menu item: nothing to create a window from
    w.records[0].type = kUnitMenuItem;
    w.records.push_back(Record(kA, kProbeType));
    image.windows.push_back(w);
    Start();
    EXPECT_EQ(LoadWindowAndWait(kMain, nullptr, false), -1);
    EXPECT_EQ(FindUnit(kMain, kA), nullptr);
    EXPECT_EQ(EventSuspensionCount(), 0);
}

TEST_F(LoadingTest, ModalWindowDisablesOthersAndGivesTheirStateBack) {
    image.windows.push_back(Window(kMain));
    image.windows.push_back(Window(kOther, "dialog"));
    Start();
    Load();
    loop().ScheduleAfter(10, [this] {
        EXPECT_FALSE(Native(kMain)->IsEnabled());
        EXPECT_TRUE(Native(kOther)->IsVisible());
        DestroyLoadedWindow(kOther);
    });
    loop().SetAutoAdvance(true);
    // The modal window runs its own loop until it is gone.
    EXPECT_EQ(LoadWindowAndWait(kOther, nullptr, true), 0);
    EXPECT_EQ(Win(kOther), nullptr);
    EXPECT_TRUE(Native(kMain)->IsEnabled());
}

TEST_F(LoadingTest, OwnerThatIsNoLiveWindowFailsTheLoad) {
    image.windows.push_back(Window(kMain));
    image.windows.push_back(Window(kOther));
    Start();
    Load();
    ProbeUnit stranger(UnitCreateInfo{});
    EXPECT_EQ(LoadWindowAndWait(kOther, &stranger, false), -1);
    EXPECT_EQ(LoadWindowAndWait(kOther, Win(kMain), false), 0);
    EXPECT_NE(Win(kOther), nullptr);
}

TEST(MousePointerTable, TranslatesBothWaysAndPassesUnknownValues) {
    EXPECT_EQ(MousePointerRowToId(14), 0x7F89u);
    EXPECT_EQ(MousePointerIdToRow(0x7F89), 14u);
    EXPECT_EQ(MousePointerRowToId(0), 0u);
    EXPECT_EQ(MousePointerRowToId(99), 99u);
    EXPECT_EQ(MousePointerIdToRow(0x1234), 0x1234u);
    for (uint32_t row = 0; row < 15; ++row) {
        EXPECT_EQ(MousePointerIdToRow(MousePointerRowToId(row)), row);
    }
    const uint8_t file_data[] = {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3};
    EXPECT_EQ(CursorIdFromPointerBytes(file_data), 0u);
    const uint8_t id[] = {0x00, 0x7F, 0, 0};
    EXPECT_EQ(CursorIdFromPointerBytes(id), 0x7F00u);
    EXPECT_EQ(CursorIdFromPointerBytes({}), 0u);
}

}  // namespace
}  // namespace kesu::test
