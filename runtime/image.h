// The program image: header, library list with unit-type and property
// descriptors, constant segment, DLL command lists and the window template
// block, as in-memory structures, with the reader that builds them from the
// serialized bytes.
//
// In the bytes every word is 32-bit little-endian and every stored address is
// an offset from the start of the image (0 for none). The reader checks every
// count, length and offset against the bounds of the block it reads: a fault
// gives a failed read (never an out-of-bounds access), which start-up turns
// into the runtime error "载入窗口模板数据段出错!". The image builder in image_builder/
// writes these same structures back into bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kesu {

inline constexpr uint32_t kWindowRecordId = 0x06010000;
inline constexpr uint32_t kLibraryFormatNumber = 20000101;
inline constexpr uint32_t kTemplateWordA = 0x005487B0;
inline constexpr uint32_t kTemplateWordB = 0x19010004;

// Type flags of a UnitTypeDescriptor that the runtime tests.
namespace type_flag {
inline constexpr uint32_t kWindow = 0x10;
inline constexpr uint32_t kEventSourceOld = 0x04;
inline constexpr uint32_t kPlacedUnit = 0x40;
inline constexpr uint32_t kMoveChildrenOnRecreate = 0x80;
inline constexpr uint32_t kPagedContainer = 0x100;
inline constexpr uint32_t kRadioStyle = 0x400;
inline constexpr uint32_t kInvisible = 0x8000;
inline constexpr uint32_t kNoInitialFocus = 0x10000;
inline constexpr uint32_t kAnnounceRecreate = 0x100000;
inline constexpr uint32_t kOwnsChildWindows = 0x200200;
}  // namespace type_flag

// Unit record state flags.
namespace state_flag {
inline constexpr uint32_t kVisible = 0x1;
inline constexpr uint32_t kDisabled = 0x2;
inline constexpr uint32_t kTabStop = 0x4;
}  // namespace state_flag

// Ids are looked up only when their low 24 bits and bits 24 to 27 are both
// non-zero; any other id is never found.
bool IsSearchableId(uint32_t id);
// Menu item record ids: top nibble 2, next nibble 6.
bool IsMenuItemId(uint32_t id);

struct ProgramImageHeader {
    uint32_t buildMode = 0;
    uint32_t modeWord2 = 0;
    uint32_t buildNumber = 0;
    uint32_t codeBase = 0;
    uint32_t constStart = 0;  // offsets in the image
    uint32_t constLength = 0;
    uint32_t templateStart = 0;
    uint32_t templateLength = 0;
    uint32_t libraryCount = 0;
    uint32_t libraryList = 0;
    uint32_t dllCount = 0;
    uint32_t dllFiles = 0;
    uint32_t dllNames = 0;
    bool operator==(const ProgramImageHeader&) const = default;
};
inline constexpr size_t kHeaderWords = 13;

// Row of a unit type's property table (5 words).
struct PropertyDescriptor {
    std::string name;         // word 0 (text address; usually none)
    std::string englishName;  // word 1
    std::string explanation;  // word 2
    uint16_t kind = 0;
    uint16_t flags = 0;
    std::string pickList;  // word 4: a text of zero-separated items (usually none)
    bool operator==(const PropertyDescriptor&) const = default;
};

// A unit or data type of a library (14 words). An unused type slot is 56
// zero bytes and reads back with present == false.
struct UnitTypeDescriptor {
    bool present = false;
    std::string chineseName;
    std::string englishName;
    uint32_t flags = 0;
    std::vector<PropertyDescriptor> properties;
    bool operator==(const UnitTypeDescriptor&) const = default;
};

// A library of the program's library list (36 words). The command table and
// the notification entry are native code found by the identifier, so the
// image keeps only the command count of the table.
struct LibraryInfo {
    uint32_t formatNumber = kLibraryFormatNumber;
    std::string identifier;  // 32 hexadecimal digits
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t versionWords[4] = {0, 0, 0, 0};
    std::string name;  // GBK
    uint32_t word10 = 1;
    uint32_t flags = 0;
    std::vector<UnitTypeDescriptor> types;
    uint32_t commandCount = 0;
    bool operator==(const LibraryInfo&) const = default;
};

// The fixed head of a support library's record: identifier, name, version and
// flags; every library of this program carries the version words 3, 7, 3, 7.
LibraryInfo MakeLibraryInfo(std::string identifier, std::string name, uint32_t majorVersion,
                            uint32_t buildNumber, uint32_t flags);

// The type `typeNumber` (1-based) of a library, or null for an unused slot
// or a number beyond its table.
const UnitTypeDescriptor* TypeOfLibrary(const LibraryInfo& library, uint32_t typeNumber);

struct EventBinding {
    int32_t event = 0;
    int32_t offset = -1;  // handler offset from the code base; -1: none
    // Filled by ResolveEventBindings: bound is false for -1, and handler is
    // code base plus offset otherwise (an offset of 0 is the code base).
    bool bound = false;
    uint32_t handler = 0;
    bool operator==(const EventBinding&) const = default;
};

// The fields of a menu item record that follow its name and remark.
struct MenuItemFields {
    uint32_t words[3] = {0, 0, 0};
    std::string text;
    EventBinding click;  // event 0; its offset is the click handler offset
    bool operator==(const MenuItemFields&) const = default;
};

struct UnitRecord {
    uint32_t id = 0;  // from the IdBlobList, not part of the record bytes
    uint32_t type = 0;
    uint32_t eventSource = 0;
    uint32_t reserved[4] = {0, 0, 0, 0};
    std::string name;
    std::string remark;
    // Only for menu items (type 0x00010003): the fields above and then the
    // item's own data in typeData.
    MenuItemFields menu;
    int32_t left = 0, top = 0, width = 0, height = 0;
    uint32_t parent = 0;
    std::vector<uint32_t> children;
    std::vector<uint8_t> mousePointer;
    std::string tag;
    uint32_t reserved2 = 0;
    uint32_t stateFlags = 0;
    int32_t tabOrder = 0;
    std::vector<EventBinding> events;
    uint32_t reserved3[5] = {0, 0, 0, 0, 0};
    std::vector<uint8_t> typeData;

    // Run-time slots: 0 in the bytes, kept here while the window is loaded.
    void* object = nullptr;
    void* cursor = nullptr;

    bool IsMenuItem() const { return type == 0x00010003; }
    // Compares the stored fields, not the run-time slots.
    bool SameStoredFields(const UnitRecord& other) const;
};

struct WindowTemplate {
    uint32_t windowId = 0;
    uint32_t wordA = kTemplateWordA;
    uint32_t wordB = kTemplateWordB;
    std::string name;
    std::string remark;
    std::vector<UnitRecord> records;  // record 0 is the window's own
    // Run-time slot: the loaded window record.
    void* loaded = nullptr;

    // The record with that id (kWindowRecordId for the window's own, or 0 for
    // record 0); null when absent or when the id is not searchable. Ids repeated
    // in a template give the first record that has it.
    UnitRecord* FindRecord(uint32_t id);
    const UnitRecord* FindRecord(uint32_t id) const;

    // Sorts the records' ids into an index that FindRecord searches by halves instead of
    // going through every record: every received byte looks up several units. Called once the
    // records are complete; until then, or after they changed in number, FindRecord reads them
    // one by one.
    void IndexRecords();
    // The index: (id, record position), ordered by id and then position.
    std::vector<std::pair<uint32_t, uint32_t>> recordIndex;
};

struct ProgramImage {
    ProgramImageHeader header;
    std::vector<LibraryInfo> libraries;
    std::vector<uint8_t> constants;
    std::vector<std::string> dllFiles;
    std::vector<std::string> dllNames;
    std::vector<WindowTemplate> windows;

    // The type descriptor for a library type code, or null.
    const UnitTypeDescriptor* FindType(uint32_t typeCode) const;
    WindowTemplate* FindWindow(uint32_t windowId);
};

// Outcome of a read: ok, or where and why it failed (for diagnostics; the
// runtime reports every failure with the one template message).
struct ReadResult {
    bool ok = true;
    std::string what;
    size_t offset = 0;
    explicit operator bool() const { return ok; }
};

// Reads the whole image. Event bindings are not resolved yet.
ReadResult ReadProgramImage(std::span<const uint8_t> bytes, ProgramImage& out);
// Reads a window template block alone.
ReadResult ReadWindowTemplates(std::span<const uint8_t> block, std::vector<WindowTemplate>& out);
// Parses one unit record's bytes.
ReadResult ReadUnitRecord(std::span<const uint8_t> bytes, UnitRecord& out);
// For every record: -1 becomes unbound, anything else code base + offset.
void ResolveEventBindings(std::vector<WindowTemplate>& windows, uint32_t codeBase);

// Reads the image and resolves its bindings; any fault raises the runtime
// error "载入窗口模板数据段出错!".
void ReadProgramImageOrFail(std::span<const uint8_t> bytes, ProgramImage& out);

// Bounds-checked little-endian reading over a block, shared by the reader
// and the unit types that parse their own stored data.
class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }
    const char* error() const { return error_; }

    uint32_t Word();
    int32_t Int() { return static_cast<int32_t>(Word()); }
    // Reads n bytes; an empty span (and a failed reader) when they are not there.
    std::span<const uint8_t> Bytes(size_t n);
    // A zero-terminated text; fails when no terminator is left in the block.
    std::string TerminatedText();
    // Word count, then that many bytes; a count of 0 or less is empty.
    std::string CountedText();
    // Word count, then that many bytes; a negative count fails.
    std::vector<uint8_t> CountedBlock();
    // Marks the reader failed (used for semantic checks by callers).
    void Fail(const char* why);

  private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
    const char* error_ = "";
};

// Little-endian writing, shared by the image builder and the unit types that
// save their own stored data.
class ByteWriter {
  public:
    void Word(uint32_t w);
    void Bytes(std::span<const uint8_t> b);
    void Bytes(std::string_view b);
    void TerminatedText(std::string_view text);
    // Word count, then the bytes.
    void Counted(std::span<const uint8_t> b);
    void Counted(std::string_view b);
    // Overwrites a word written earlier at `at`.
    void PatchWord(size_t at, uint32_t w);
    size_t size() const { return out_.size(); }
    std::vector<uint8_t>& bytes() { return out_; }
    std::vector<uint8_t> Take() { return std::move(out_); }

  private:
    std::vector<uint8_t> out_;
};

}  // namespace kesu
