// Property access by (window, unit, index, component): the common properties with their clamps
// and live-versus-template values, type-specific properties by kind, fonts, recreation, worker
// threads and the runtime errors of unloaded windows and units.
#include <atomic>
#include <cstring>
#include <thread>

#include "runtime/font.h"
#include "runtime/properties.h"
#include "tests/runtime/frame_fixture.h"

namespace kesu::test {
namespace {

constexpr uint32_t kA = 0x16010001;
constexpr uint32_t kB = 0x16010002;

uint64_t Ptr(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}
std::pair<uint32_t, uint32_t> Words(const void* p) {
    return {static_cast<uint32_t>(Ptr(p)), static_cast<uint32_t>(Ptr(p) >> 32)};
}
void WriteText(uint32_t unit, int property, const char* text, int component = 0) {
    auto [low, high] = Words(text);
    WriteUnitProperty(kMain, unit, property, component, low, high);
}
// Reads a text property and takes ownership of the fresh block.
std::string ReadText(uint32_t unit, int property, int component = 0) {
    char* text = reinterpret_cast<char*>(ReadUnitProperty(kMain, unit, property, component));
    std::string out = TextToString(text);
    MemFree(text);
    return out;
}
std::string ReadByteSet(uint32_t unit, int property) {
    auto* set = reinterpret_cast<uint8_t*>(ReadUnitProperty(kMain, unit, property, 0));
    std::string out;
    if (set) out.assign(reinterpret_cast<const char*>(ByteSetData(set)), ByteSetLength(set));
    MemFree(set);
    return out;
}
int32_t ReadInt(uint32_t unit, int property) {
    return static_cast<int32_t>(ReadUnitProperty(kMain, unit, property, 0));
}
void WriteInt(uint32_t unit, int property, int32_t v) {
    WriteUnitProperty(kMain, unit, property, 0, static_cast<uint32_t>(v), 0);
}

class PropertiesTest : public FrameTest {
  protected:
    void SetUp() override {
        WindowTemplate w = Window(kMain);
        UnitRecord a = Record(kA, kProbeType, 5, 6, 70, 80);
        a.tag = "tag-a";
        a.mousePointer = {0x89, 0x7F, 0, 0};
        w.records.push_back(a);
        w.records.push_back(Record(kB, kProbeType));
        image.windows.push_back(w);
        image.windows.push_back(Window(kOther));
        Start();
    }
};

TEST_F(PropertiesTest, TemplateValuesBeforeLoadAndLiveValuesAfter) {
    // The window is not loaded: the record answers.
    EXPECT_EQ(ReadInt(kA, 0), 5);
    EXPECT_EQ(ReadInt(kA, 3), 80);
    EXPECT_EQ(ReadInt(kA, 5), 1);
    EXPECT_EQ(ReadText(kA, 4), "tag-a");
    // Writes to an unloaded window change the record, and the load takes them.
    WriteInt(kA, 0, 40);
    Load();
    EXPECT_EQ(Unit(kA)->Geometry().left, 40);
    Unit(kA)->SetGeometry({1, 2, 3, 4});
    EXPECT_EQ(ReadInt(kA, 0), 1);
    EXPECT_EQ(ReadInt(kA, 3), 4);
}

TEST_F(PropertiesTest, PositionAndSizeClamps) {
    Load();
    WriteInt(kA, 2, 40000);
    EXPECT_EQ(ReadInt(kA, 2), 32627);
    WriteInt(kA, 3, -5);
    EXPECT_EQ(ReadInt(kA, 3), 0);
    WriteInt(kA, 0, -40000);
    EXPECT_EQ(ReadInt(kA, 0), -32627);
    WriteInt(kA, 1, 32700);
    EXPECT_EQ(ReadInt(kA, 1), 32627);
    // Moving keeps the size, resizing keeps the place.
    EXPECT_EQ(Unit(kA)->Geometry(), (UnitRect{-32627, 32627, 32627, 0}));
    // The window itself: the live frame moves.
    WriteInt(0, 0, 123);
    EXPECT_EQ(Native()->Geometry().left, 123);
}

TEST_F(PropertiesTest, TagVisibleDisabledAndMousePointer) {
    Load();
    WriteText(kA, 4, "new tag");
    EXPECT_EQ(ReadText(kA, 4), "new tag");
    WriteText(kA, 4, nullptr);  // null writes the empty text
    EXPECT_EQ(ReadUnitProperty(kMain, kA, 4, 0), 0u);

    WriteInt(kA, 5, 0);
    EXPECT_FALSE(Unit(kA)->IsVisible());
    EXPECT_EQ(ReadInt(kA, 5), 0);
    WriteInt(kA, 6, 1);
    EXPECT_FALSE(Unit(kA)->IsEnabled());
    EXPECT_EQ(ReadInt(kA, 6), 1);

    // The stored identifier reads as its table row; a written row is stored as the identifier.
    EXPECT_EQ(ReadByteSet(kA, 7), std::string("\x0E\0\0\0", 4));
    uint8_t* row = MakeByteSet("\x02\0\0\0", 4);
    auto [low, high] = Words(row);
    WriteUnitProperty(kMain, kA, 7, 0, low, high);
    MemFree(row);
    EXPECT_EQ(Unit(kA)->cursor_id(), 0x7F03u);
    EXPECT_EQ(ReadByteSet(kA, 7), std::string("\x02\0\0\0", 4));
    // After the window is gone the record keeps what was written.
    DestroyLoadedWindow(kMain);
    EXPECT_EQ(ReadInt(kA, 5), 0);
    EXPECT_EQ(ReadInt(kA, 6), 1);
}

TEST_F(PropertiesTest, TypeSpecificValuesByKind) {
    Load();
    WriteText(kA, 8, "text value");
    EXPECT_EQ(Unit(kA)->text, "text value");
    EXPECT_EQ(ReadText(kA, 8), "text value");
    WriteText(kA, 8, nullptr);
    EXPECT_EQ(Unit(kA)->text, "");
    EXPECT_EQ(ReadUnitProperty(kMain, kA, 8, 0), 0u);  // empty text reads as null

    WriteInt(kA, 9, -7);
    EXPECT_EQ(ReadInt(kA, 9), -7);
    // A logical reaches the unit as written, which decides what a value other than 0 or 1
    // means; a read is true only for 1.
    WriteInt(kA, 10, 5);
    EXPECT_EQ(Unit(kA)->logical, 5);
    EXPECT_EQ(ReadUnitProperty(kMain, kA, 10, 0), 0u);
    WriteInt(kA, 10, 1);
    EXPECT_EQ(ReadUnitProperty(kMain, kA, 10, 0), 1u);

    const char raw[] = {'a', 0, 'b'};
    uint8_t* set = MakeByteSet(raw, 3);
    auto [low, high] = Words(set);
    WriteUnitProperty(kMain, kA, 11, 0, low, high);
    MemFree(set);
    EXPECT_EQ(Unit(kA)->bytes, std::string(raw, 3));
    EXPECT_EQ(ReadByteSet(kA, 11), std::string(raw, 3));

    WriteUnitProperty(kMain, kA, 14, 0, 0x11223344, 0x55667788);
    EXPECT_EQ(ReadUnitProperty(kMain, kA, 14, 0), 0x5566778811223344u);
    // An index the type does not have reads 0, and a write to it changes nothing: its value is
    // not taken for a text address.
    EXPECT_EQ(ReadUnitProperty(kMain, kA, 40, 0), 0u);
    WriteUnitProperty(kMain, kA, 40, 0, 0x10, 0);
    EXPECT_EQ(Unit(kA)->text, "");
}

TEST_F(PropertiesTest, FontComponentsAndWholeRecord) {
    Load();
    // A unit without font data reads the default interface font: 9 points, 宋体.
    EXPECT_EQ(ReadUnitProperty(kMain, kA, 12, kFontAngle), 0u);
    EXPECT_EQ(static_cast<int32_t>(ReadUnitProperty(kMain, kA, 12, kFontSize)), 9);
    EXPECT_EQ(ReadText(kA, 12, kFontFace), "\xCB\xCE\xCC\xE5");

    WriteUnitProperty(kMain, kA, 12, kFontBold, 1, 0);
    WriteUnitProperty(kMain, kA, 12, kFontSize, 12, 0);
    WriteUnitProperty(kMain, kA, 12, kFontAngle, static_cast<uint32_t>(-450), 0);
    ASSERT_EQ(Unit(kA)->font.size(), 60u);
    FontRecord f = FontFromBytes(Unit(kA)->font);
    EXPECT_EQ(f.weight, 700);
    EXPECT_EQ(f.height, -16);
    EXPECT_EQ(f.escapement, 3150);
    EXPECT_EQ(f.orientation, 3150);

    // A face of 40 bytes is no face: 宋体 again. One of 31 is taken.
    WriteText(kA, 12, std::string(40, 'x').c_str(), kFontFace);
    EXPECT_EQ(ReadText(kA, 12, kFontFace), "\xCB\xCE\xCC\xE5");
    WriteText(kA, 12, std::string(31, 'y').c_str(), kFontFace);
    EXPECT_EQ(ReadText(kA, 12, kFontFace), std::string(31, 'y'));

    auto* whole = reinterpret_cast<FontValue*>(ReadUnitProperty(kMain, kA, 12, kFontWhole));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->angle, 3150);
    EXPECT_EQ(whole->bold, 1);
    EXPECT_EQ(whole->size, 12);
    EXPECT_EQ(TextToString(whole->face), std::string(31, 'y'));
    whole->italic = 1;
    whole->bold = 0;
    MemFree(whole->face);
    whole->face = nullptr;  // no face: the default one
    auto [low, high] = Words(whole);
    WriteUnitProperty(kMain, kA, 12, kFontWhole, low, high);
    MemFree(whole);
    f = FontFromBytes(Unit(kA)->font);
    EXPECT_EQ(f.italic, 1);
    EXPECT_EQ(f.weight, 0);
    EXPECT_EQ(FontFace(f), "\xCB\xCE\xCC\xE5");
}

TEST_F(PropertiesTest, WriteAnsweringOneRecreatesTheUnitInPlace) {
    Load();
    ProbeUnit* old = Unit(kA);
    old->text = "saved state";
    old->SetGeometry({9, 8, 7, 6});
    WriteInt(kA, 13, 77);
    ProbeUnit* fresh = Unit(kA);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(fresh->text, "saved state");
    EXPECT_EQ(fresh->Geometry(), (UnitRect{9, 8, 7, 6}));
    EXPECT_EQ(fresh->parent_id, kWindowRecordId);
    EXPECT_EQ(EventSuspensionCount(), 0);
    // The old object goes once the loop runs again; its destruction clears nothing.
    loop().ProcessPending();
    EXPECT_NE(LogIndex("delete 16010001"), -1);
    EXPECT_EQ(Unit(kA), fresh);
}

TEST_F(PropertiesTest, WritesFromWorkerThreadsRunOnTheUiThread) {
    Load();
    std::atomic<bool> done{false};
    std::string read_back;
    std::thread worker([&] {
        WriteText(kA, 8, "from worker");
        read_back = ReadText(kA, 8);
        done = true;
    });
    // The worker's calls wait for the UI thread's loop to serve them.
    EXPECT_TRUE(loop().RunUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(Unit(kA)->text, "from worker");
    EXPECT_EQ(read_back, "from worker");
}

TEST_F(PropertiesTest, UnknownWindowEndsWithItsRuntimeError) {
    EXPECT_EQ(ExitCodeOf([] { ReadUnitProperty(0x52010009, kA, 0, 0); }), -1);
    // 未载入欲访问窗口组件所在的窗口
    EXPECT_NE(LastBox().find("\xCE\xB4\xD4\xD8\xC8\xEB\xD3\xFB\xB7\xC3\xCE\xCA"),
              std::string::npos);
}

TEST_F(PropertiesTest, TypeSpecificPropertyOfUnloadedUnitEndsWithItsRuntimeError) {
    EXPECT_EQ(ReadInt(kA, 0), 5);  // common ones are fine
    EXPECT_EQ(ExitCodeOf([] { WriteInt(kA, 9, 1); }), -1);
    // 指定窗口尚未载入
    EXPECT_NE(LastBox().find("\xD6\xB8\xB6\xA8\xB4\xB0\xBF\xDA\xC9\xD0\xCE\xB4\xD4\xD8\xC8\xEB"),
              std::string::npos);
}

TEST_F(PropertiesTest, UnitLookupFailureEndsWithItsRuntimeError) {
    Load();
    EXPECT_EQ(NotifyRuntime(notify::kFindUnit, kMain, 0x16010099), 0);
    EXPECT_EQ(NotifyRuntime(notify::kFindUnit, kMain, kA), reinterpret_cast<intptr_t>(Unit(kA)));
    EXPECT_EQ(NotifyRuntime(notify::kUnitTypeOf, kMain, kB), static_cast<intptr_t>(kProbeType));
    EXPECT_EQ(ExitCodeOf([] { NotifyRuntime(notify::kFindUnitOrFail, kOther, kA); }), -1);
    // 指定窗口或窗口组件不存在或尚未载入
    EXPECT_NE(LastBox().find("\xD6\xB8\xB6\xA8\xB4\xB0\xBF\xDA\xBB\xF2"), std::string::npos);
}

TEST(PropertyRules, ClampsAndKinds) {
    EXPECT_EQ(ClampPosition(32627), 32627);
    EXPECT_EQ(ClampPosition(32628), 32627);
    EXPECT_EQ(ClampPosition(-32628), -32627);
    EXPECT_EQ(ClampSize(-1), 0);
    EXPECT_EQ(ClampSize(int64_t{1} << 40), 32627);
    EXPECT_EQ(FormOfKind(1017), KindForm::kOneWord);
    EXPECT_EQ(FormOfKind(1004), KindForm::kTwoWords);
    EXPECT_EQ(FormOfKind(1024), KindForm::kByteSet);
    EXPECT_EQ(FormOfKind(1011), KindForm::kMousePointer);
    EXPECT_EQ(FormOfKind(1013), KindForm::kFont);
    EXPECT_EQ(FormOfKind(1005), KindForm::kText);
    EXPECT_EQ(FormOfKind(1008), KindForm::kText);
}

}  // namespace
}  // namespace kesu::test
