#include "runtime/image.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "runtime/errors.h"
#include "runtime/value.h"

namespace kesu {

// ---- ByteReader -------------------------------------------------------------

void ByteReader::Fail(const char* why) {
    if (ok_) error_ = why;
    ok_ = false;
}

uint32_t ByteReader::Word() {
    auto b = Bytes(4);
    if (b.size() != 4) return 0;
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

std::span<const uint8_t> ByteReader::Bytes(size_t n) {
    if (!ok_) return {};
    if (n > bytes_.size() - pos_) {
        Fail("read past the end of the block");
        return {};
    }
    auto out = bytes_.subspan(pos_, n);
    pos_ += n;
    return out;
}

std::string ByteReader::TerminatedText() {
    if (!ok_) return {};
    const uint8_t* start = bytes_.data() + pos_;
    const void* zero = std::memchr(start, 0, bytes_.size() - pos_);
    if (!zero) {
        Fail("text without terminator");
        return {};
    }
    size_t n = static_cast<size_t>(static_cast<const uint8_t*>(zero) - start);
    pos_ += n + 1;
    return std::string(reinterpret_cast<const char*>(start), n);
}

std::string ByteReader::CountedText() {
    int32_t n = Int();
    if (!ok_ || n <= 0) return {};
    auto b = Bytes(static_cast<size_t>(n));
    if (!ok_) return {};
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

std::vector<uint8_t> ByteReader::CountedBlock() {
    int32_t n = Int();
    if (!ok_) return {};
    if (n < 0) {
        Fail("negative block length");
        return {};
    }
    auto b = Bytes(static_cast<size_t>(n));
    return std::vector<uint8_t>(b.begin(), b.end());
}

// ---- Ids ----------------------------------------------------------------------

bool IsSearchableId(uint32_t id) {
    return (id & 0x00FFFFFF) != 0 && (id & 0x0F000000) != 0;
}

bool IsMenuItemId(uint32_t id) {
    return (id & 0xF0000000) == 0x20000000 && (id & 0x0F000000) == 0x06000000;
}

bool UnitRecord::SameStoredFields(const UnitRecord& o) const {
    return id == o.id && type == o.type && eventSource == o.eventSource &&
           std::memcmp(reserved, o.reserved, sizeof reserved) == 0 && name == o.name &&
           remark == o.remark && menu == o.menu && left == o.left && top == o.top &&
           width == o.width && height == o.height && parent == o.parent && children == o.children &&
           mousePointer == o.mousePointer && tag == o.tag && reserved2 == o.reserved2 &&
           stateFlags == o.stateFlags && tabOrder == o.tabOrder && events == o.events &&
           std::memcmp(reserved3, o.reserved3, sizeof reserved3) == 0 && typeData == o.typeData;
}

const UnitRecord* WindowTemplate::FindRecord(uint32_t id) const {
    if (id == 0) return records.empty() ? nullptr : &records[0];
    if (!IsSearchableId(id)) return nullptr;
    if (recordIndex.size() == records.size()) {
        const auto at = std::lower_bound(recordIndex.begin(), recordIndex.end(),
                                         std::pair<uint32_t, uint32_t>{id, 0});
        // The records have the last word: a hit is taken only when the record still has the id,
        // and anything else is looked for one by one, as a template without an index is.
        if (at != recordIndex.end() && at->first == id && records[at->second].id == id) {
            return &records[at->second];
        }
    }
    for (const UnitRecord& r : records) {
        if (r.id == id) return &r;
    }
    return nullptr;
}

void WindowTemplate::IndexRecords() {
    recordIndex.clear();
    recordIndex.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        recordIndex.emplace_back(records[i].id, static_cast<uint32_t>(i));
    }
    std::sort(recordIndex.begin(), recordIndex.end());
}

UnitRecord* WindowTemplate::FindRecord(uint32_t id) {
    return const_cast<UnitRecord*>(std::as_const(*this).FindRecord(id));
}

LibraryInfo MakeLibraryInfo(std::string identifier, std::string name, uint32_t majorVersion,
                            uint32_t buildNumber, uint32_t flags) {
    LibraryInfo lib;
    lib.identifier = std::move(identifier);
    lib.majorVersion = majorVersion;
    lib.minorVersion = 0;
    lib.buildNumber = buildNumber;
    lib.versionWords[0] = 3;
    lib.versionWords[1] = 7;
    lib.versionWords[2] = 3;
    lib.versionWords[3] = 7;
    lib.name = std::move(name);
    lib.word10 = 1;
    lib.flags = flags;
    return lib;
}

const UnitTypeDescriptor* TypeOfLibrary(const LibraryInfo& library, uint32_t typeNumber) {
    const auto& types = library.types;
    if (typeNumber == 0 || typeNumber > types.size() || !types[typeNumber - 1].present) {
        return nullptr;
    }
    return &types[typeNumber - 1];
}

const UnitTypeDescriptor* ProgramImage::FindType(uint32_t typeCode) const {
    uint32_t lib = LibraryNumberOf(typeCode);
    if (CategoryOf(typeCode) != TypeCategory::kLibrary || lib == 0 || lib > libraries.size()) {
        return nullptr;
    }
    return TypeOfLibrary(libraries[lib - 1], TypeNumberOf(typeCode));
}

WindowTemplate* ProgramImage::FindWindow(uint32_t windowId) {
    if (!IsSearchableId(windowId)) return nullptr;
    for (WindowTemplate& w : windows) {
        if (w.windowId == windowId) return &w;
    }
    return nullptr;
}

// ---- Reading ------------------------------------------------------------------------

namespace {

ReadResult Failed(const ByteReader& r, size_t base = 0) {
    return ReadResult{false, r.error(), base + r.pos()};
}

// Rejects a count that cannot fit in what is left: it protects against
// allocating for an absurd count before the reads would fail anyway.
bool CountFits(ByteReader& r, int32_t count, size_t elementSize) {
    if (count < 0) {
        r.Fail("negative count");
        return false;
    }
    if (static_cast<uint64_t>(count) * elementSize > r.remaining()) {
        r.Fail("count larger than the block");
        return false;
    }
    return true;
}

std::vector<EventBinding> ReadBindings(ByteReader& r) {
    std::vector<EventBinding> events;
    int32_t e = r.Int();
    if (!CountFits(r, e, 8)) return events;
    events.resize(static_cast<size_t>(e));
    for (EventBinding& b : events) {
        b.event = r.Int();
        b.offset = r.Int();
    }
    return events;
}

}  // namespace

ReadResult ReadUnitRecord(std::span<const uint8_t> bytes, UnitRecord& out) {
    ByteReader r(bytes);
    uint32_t id = out.id;
    out = UnitRecord{};
    out.id = id;
    out.type = r.Word();
    out.eventSource = r.Word();
    for (uint32_t& w : out.reserved) w = r.Word();
    out.name = r.TerminatedText();
    out.remark = r.TerminatedText();
    if (out.IsMenuItem()) {
        for (uint32_t& w : out.menu.words) w = r.Word();
        out.menu.text = r.TerminatedText();
        out.menu.click.offset = r.Int();
    } else {
        r.Word();  // object slot, 0 in the file
        out.left = r.Int();
        out.top = r.Int();
        out.width = r.Int();
        out.height = r.Int();
        r.Word();  // cursor slot, 0 in the file
        out.parent = r.Word();
        int32_t k = r.Int();
        if (CountFits(r, k, 4)) {
            out.children.resize(static_cast<size_t>(k));
            for (uint32_t& c : out.children) c = r.Word();
        }
        out.mousePointer = r.CountedBlock();
        out.tag = r.TerminatedText();
        out.reserved2 = r.Word();
        out.stateFlags = r.Word();
        out.tabOrder = r.Int();
        out.events = ReadBindings(r);
        for (uint32_t& w : out.reserved3) w = r.Word();
    }
    if (!r.ok()) return Failed(r);
    auto rest = r.Bytes(r.remaining());
    out.typeData.assign(rest.begin(), rest.end());
    return {};
}

namespace {

ReadResult ReadIdBlobList(ByteReader& r, std::vector<UnitRecord>& records) {
    int32_t n = r.Int();
    std::vector<uint8_t> content = r.CountedBlock();
    if (!r.ok()) return Failed(r);
    if (n < 0) {
        r.Fail("negative record count");
        return Failed(r);
    }
    ByteReader c(content);
    if (static_cast<uint64_t>(n) * 8 > content.size()) {
        return ReadResult{false, "record index larger than its block", r.pos()};
    }
    std::vector<uint32_t> ids(static_cast<size_t>(n));
    std::vector<uint32_t> offsets(static_cast<size_t>(n));
    for (uint32_t& id : ids) id = c.Word();
    for (uint32_t& off : offsets) off = c.Word();
    const size_t base = c.pos();
    std::span<const uint8_t> area = std::span<const uint8_t>(content).subspan(base);
    records.assign(static_cast<size_t>(n), UnitRecord{});
    for (size_t i = 0; i < ids.size(); ++i) {
        ByteReader entry(area);
        if (offsets[i] > area.size()) {
            return ReadResult{false, "record offset outside its block", r.pos()};
        }
        entry.Bytes(offsets[i]);
        int32_t length = entry.Int();
        if (length < 0) entry.Fail("negative record length");
        auto recordBytes = entry.Bytes(static_cast<size_t>(length));
        if (!entry.ok()) return ReadResult{false, entry.error(), r.pos()};
        records[i].id = ids[i];
        ReadResult rr = ReadUnitRecord(recordBytes, records[i]);
        if (!rr) return rr;
    }
    return {};
}

}  // namespace

ReadResult ReadWindowTemplates(std::span<const uint8_t> block, std::vector<WindowTemplate>& out) {
    out.clear();
    ByteReader r(block);
    int32_t indexSize = r.Int();
    if (!r.ok()) return Failed(r);
    if (indexSize < 0 || indexSize % 8 != 0) {
        r.Fail("window index size is not a multiple of 8");
        return Failed(r);
    }
    int32_t count = indexSize / 8;
    if (!CountFits(r, count, 8)) return Failed(r);
    std::vector<WindowTemplate> windows(static_cast<size_t>(count));
    for (WindowTemplate& w : windows) w.windowId = r.Word();
    r.Bytes(4 * static_cast<size_t>(count));  // slot words, replaced at load
    for (WindowTemplate& w : windows) {
        w.wordA = r.Word();
        w.wordB = r.Word();
        w.name = r.CountedText();
        w.remark = r.CountedText();
        if (!r.ok()) return Failed(r);
        ReadResult rr = ReadIdBlobList(r, w.records);
        if (!rr) return rr;
        w.IndexRecords();
    }
    out = std::move(windows);
    return {};
}

namespace {

// Reads a zero-terminated text at an image offset; 0 is the empty text.
std::string TextAt(std::span<const uint8_t> image, uint32_t offset, bool& ok) {
    if (offset == 0) return {};
    if (offset >= image.size()) {
        ok = false;
        return {};
    }
    ByteReader r(image.subspan(offset));
    std::string s = r.TerminatedText();
    if (!r.ok()) ok = false;
    return s;
}

// A reader positioned at an image offset with `size` bytes available.
bool SubBlock(std::span<const uint8_t> image, uint64_t offset, uint64_t size,
              std::span<const uint8_t>& out) {
    if (offset > image.size() || size > image.size() - offset) return false;
    out = image.subspan(static_cast<size_t>(offset), static_cast<size_t>(size));
    return true;
}

bool ReadProperties(std::span<const uint8_t> image, uint32_t count, uint32_t offset,
                    std::vector<PropertyDescriptor>& out) {
    std::span<const uint8_t> block;
    if (count == 0) return true;
    if (!SubBlock(image, offset, uint64_t{count} * 20, block)) return false;
    ByteReader r(block);
    bool ok = true;
    out.resize(count);
    for (PropertyDescriptor& p : out) {
        p.name = TextAt(image, r.Word(), ok);
        p.englishName = TextAt(image, r.Word(), ok);
        p.explanation = TextAt(image, r.Word(), ok);
        uint32_t kindFlags = r.Word();
        p.kind = static_cast<uint16_t>(kindFlags & 0xFFFF);
        p.flags = static_cast<uint16_t>(kindFlags >> 16);
        p.pickList = TextAt(image, r.Word(), ok);
    }
    return ok && r.ok();
}

bool ReadTypes(std::span<const uint8_t> image, uint32_t count, uint32_t offset,
               std::vector<UnitTypeDescriptor>& out) {
    std::span<const uint8_t> block;
    if (count == 0) return true;
    if (!SubBlock(image, offset, uint64_t{count} * 56, block)) return false;
    out.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        auto slot = block.subspan(size_t{i} * 56, 56);
        ByteReader r(slot);
        uint32_t w[14];
        bool any = false;
        for (uint32_t& x : w) {
            x = r.Word();
            any = any || x != 0;
        }
        UnitTypeDescriptor& t = out[i];
        t.present = any;
        if (!any) continue;
        bool ok = true;
        t.chineseName = TextAt(image, w[0], ok);
        t.englishName = TextAt(image, w[1], ok);
        t.flags = w[5];
        if (!ok || !ReadProperties(image, w[9], w[10], t.properties)) return false;
    }
    return true;
}

bool ReadLibrary(std::span<const uint8_t> image, uint32_t offset, LibraryInfo& lib) {
    std::span<const uint8_t> block;
    if (!SubBlock(image, offset, 144, block)) return false;
    ByteReader r(block);
    uint32_t w[36];
    for (uint32_t& x : w) x = r.Word();
    bool ok = true;
    lib.formatNumber = w[0];
    lib.identifier = TextAt(image, w[1], ok);
    lib.majorVersion = w[2];
    lib.minorVersion = w[3];
    lib.buildNumber = w[4];
    for (int i = 0; i < 4; ++i) lib.versionWords[i] = w[5 + i];
    lib.name = TextAt(image, w[9], ok);
    lib.word10 = w[10];
    lib.flags = w[12];
    lib.commandCount = w[25];
    return ok && ReadTypes(image, w[21], w[22], lib.types);
}

bool ReadTextList(std::span<const uint8_t> image, uint32_t count, uint32_t offset,
                  std::vector<std::string>& out) {
    if (count == 0) return true;
    std::span<const uint8_t> block;
    if (!SubBlock(image, offset, uint64_t{count} * 4, block)) return false;
    ByteReader r(block);
    bool ok = true;
    out.resize(count);
    for (std::string& s : out) s = TextAt(image, r.Word(), ok);
    return ok;
}

}  // namespace

ReadResult ReadProgramImage(std::span<const uint8_t> bytes, ProgramImage& out) {
    out = ProgramImage{};
    ByteReader r(bytes);
    ProgramImageHeader& h = out.header;
    h.buildMode = r.Word();
    h.modeWord2 = r.Word();
    h.buildNumber = r.Word();
    h.codeBase = r.Word();
    h.constStart = r.Word();
    h.constLength = r.Word();
    h.templateStart = r.Word();
    h.templateLength = r.Word();
    h.libraryCount = r.Word();
    h.libraryList = r.Word();
    h.dllCount = r.Word();
    h.dllFiles = r.Word();
    h.dllNames = r.Word();
    if (!r.ok()) return Failed(r);

    std::span<const uint8_t> list;
    if (h.libraryCount != 0 &&
        !SubBlock(bytes, h.libraryList, uint64_t{h.libraryCount} * 4, list)) {
        return ReadResult{false, "library list outside the image", h.libraryList};
    }
    ByteReader lr(list);
    out.libraries.resize(h.libraryCount);
    for (LibraryInfo& lib : out.libraries) {
        uint32_t at = lr.Word();
        if (!ReadLibrary(bytes, at, lib)) return ReadResult{false, "bad library record", at};
    }

    std::span<const uint8_t> constants;
    if (!SubBlock(bytes, h.constStart, h.constLength, constants)) {
        return ReadResult{false, "constant segment outside the image", h.constStart};
    }
    out.constants.assign(constants.begin(), constants.end());

    if (!ReadTextList(bytes, h.dllCount, h.dllFiles, out.dllFiles) ||
        !ReadTextList(bytes, h.dllCount, h.dllNames, out.dllNames)) {
        return ReadResult{false, "bad DLL command lists", h.dllFiles};
    }

    if (h.templateLength != 0) {
        std::span<const uint8_t> block;
        if (!SubBlock(bytes, h.templateStart, h.templateLength, block)) {
            return ReadResult{false, "template block outside the image", h.templateStart};
        }
        ReadResult rr = ReadWindowTemplates(block, out.windows);
        if (!rr) {
            rr.offset += h.templateStart;
            return rr;
        }
    }
    return {};
}

void ResolveEventBindings(std::vector<WindowTemplate>& windows, uint32_t codeBase) {
    auto resolve = [codeBase](EventBinding& b) {
        b.bound = b.offset != -1;
        b.handler = b.bound ? codeBase + static_cast<uint32_t>(b.offset) : 0;
    };
    for (WindowTemplate& w : windows) {
        for (UnitRecord& rec : w.records) {
            if (rec.IsMenuItem()) {
                resolve(rec.menu.click);
            } else {
                for (EventBinding& b : rec.events) resolve(b);
            }
        }
    }
}

void ReadProgramImageOrFail(std::span<const uint8_t> bytes, ProgramImage& out) {
    if (!ReadProgramImage(bytes, out)) {
        out = ProgramImage{};
        ReportRuntimeError(errmsg::kTemplateLoad, 0);
    }
    ResolveEventBindings(out.windows, out.header.codeBase);
}

// ---- ByteWriter -------------------------------------------------------------------

void ByteWriter::Word(uint32_t w) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(w >> (8 * i)));
}

void ByteWriter::Bytes(std::span<const uint8_t> b) {
    out_.insert(out_.end(), b.begin(), b.end());
}

void ByteWriter::Bytes(std::string_view b) {
    out_.insert(out_.end(), b.begin(), b.end());
}

void ByteWriter::TerminatedText(std::string_view text) {
    Bytes(text.substr(0, text.find('\0')));
    out_.push_back(0);
}

void ByteWriter::Counted(std::span<const uint8_t> b) {
    Word(static_cast<uint32_t>(b.size()));
    Bytes(b);
}

void ByteWriter::Counted(std::string_view b) {
    Word(static_cast<uint32_t>(b.size()));
    Bytes(b);
}

void ByteWriter::PatchWord(size_t at, uint32_t w) {
    for (int i = 0; i < 4; ++i) out_.at(at + i) = static_cast<uint8_t>(w >> (8 * i));
}

}  // namespace kesu
