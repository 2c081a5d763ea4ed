#include "image_builder/image_builder.h"

#include <algorithm>
#include <string_view>

namespace kesu::tools {

namespace {

// Everything is appended to one writer; fixed-size records are written as
// zero placeholders first and patched once the offsets of what they point to
// are known. Offset 0 is the header, so it can stand for "none".
class ImageWriter {
  public:
    size_t Reserve(size_t words) {
        size_t at = w_.size();
        for (size_t i = 0; i < words; ++i) w_.Word(0);
        return at;
    }
    void Patch(size_t at, size_t word, uint32_t value) { w_.PatchWord(at + 4 * word, value); }
    uint32_t Here() const { return static_cast<uint32_t>(w_.size()); }
    // Appends a zero-terminated text; the empty text is no text (offset 0).
    uint32_t Text(std::string_view s) {
        if (s.empty()) return 0;
        uint32_t at = Here();
        w_.TerminatedText(s);
        return at;
    }
    uint32_t Block(std::span<const uint8_t> b) {
        uint32_t at = Here();
        w_.Bytes(b);
        return at;
    }
    std::vector<uint8_t> Take() { return w_.Take(); }

  private:
    ByteWriter w_;
};

void WriteProperties(ImageWriter& w, size_t typeAt, const std::vector<PropertyDescriptor>& props) {
    if (props.empty()) return;
    size_t at = w.Reserve(props.size() * 5);
    w.Patch(typeAt, 9, static_cast<uint32_t>(props.size()));
    w.Patch(typeAt, 10, static_cast<uint32_t>(at));
    for (size_t i = 0; i < props.size(); ++i) {
        const PropertyDescriptor& p = props[i];
        size_t row = at + i * 20;
        w.Patch(row, 0, w.Text(p.name));
        w.Patch(row, 1, w.Text(p.englishName));
        w.Patch(row, 2, w.Text(p.explanation));
        w.Patch(row, 3, uint32_t{p.kind} | uint32_t{p.flags} << 16);
        w.Patch(row, 4, w.Text(p.pickList));
    }
}

void WriteLibrary(ImageWriter& w, size_t at, const LibraryInfo& lib) {
    w.Patch(at, 0, lib.formatNumber);
    w.Patch(at, 1, w.Text(lib.identifier));
    w.Patch(at, 2, lib.majorVersion);
    w.Patch(at, 3, lib.minorVersion);
    w.Patch(at, 4, lib.buildNumber);
    for (size_t i = 0; i < 4; ++i) w.Patch(at, 5 + i, lib.versionWords[i]);
    w.Patch(at, 9, w.Text(lib.name));
    w.Patch(at, 10, lib.word10);
    w.Patch(at, 12, lib.flags);
    w.Patch(at, 25, lib.commandCount);
    if (lib.types.empty()) return;
    size_t types = w.Reserve(lib.types.size() * 14);
    w.Patch(at, 21, static_cast<uint32_t>(lib.types.size()));
    w.Patch(at, 22, static_cast<uint32_t>(types));
    for (size_t i = 0; i < lib.types.size(); ++i) {
        const UnitTypeDescriptor& t = lib.types[i];
        if (!t.present) continue;  // an unused slot stays 56 zero bytes
        size_t row = types + i * 56;
        w.Patch(row, 0, w.Text(t.chineseName));
        w.Patch(row, 1, w.Text(t.englishName));
        w.Patch(row, 5, t.flags);
        WriteProperties(w, row, t.properties);
    }
}

uint32_t WriteTextList(ImageWriter& w, const std::vector<std::string>& texts, size_t count) {
    if (count == 0) return 0;
    size_t at = w.Reserve(count);
    for (size_t i = 0; i < count; ++i) {
        w.Patch(at, i, i < texts.size() ? w.Text(texts[i]) : 0);
    }
    return static_cast<uint32_t>(at);
}

void WriteBindings(ByteWriter& w, const std::vector<EventBinding>& events) {
    w.Word(static_cast<uint32_t>(events.size()));
    for (const EventBinding& b : events) {
        w.Word(static_cast<uint32_t>(b.event));
        w.Word(static_cast<uint32_t>(b.offset));
    }
}

}  // namespace

std::vector<uint8_t> BuildUnitRecord(const UnitRecord& r) {
    ByteWriter w;
    w.Word(r.type);
    w.Word(r.eventSource);
    for (uint32_t x : r.reserved) w.Word(x);
    w.TerminatedText(r.name);
    w.TerminatedText(r.remark);
    if (r.IsMenuItem()) {
        for (uint32_t x : r.menu.words) w.Word(x);
        w.TerminatedText(r.menu.text);
        w.Word(static_cast<uint32_t>(r.menu.click.offset));
    } else {
        w.Word(0);  // object slot
        w.Word(static_cast<uint32_t>(r.left));
        w.Word(static_cast<uint32_t>(r.top));
        w.Word(static_cast<uint32_t>(r.width));
        w.Word(static_cast<uint32_t>(r.height));
        w.Word(0);  // cursor slot
        w.Word(r.parent);
        w.Word(static_cast<uint32_t>(r.children.size()));
        for (uint32_t c : r.children) w.Word(c);
        w.Counted(r.mousePointer);
        w.TerminatedText(r.tag);
        w.Word(r.reserved2);
        w.Word(r.stateFlags);
        w.Word(static_cast<uint32_t>(r.tabOrder));
        WriteBindings(w, r.events);
        for (uint32_t x : r.reserved3) w.Word(x);
    }
    w.Bytes(r.typeData);
    return w.Take();
}

std::vector<uint8_t> BuildWindowTemplates(const std::vector<WindowTemplate>& windows) {
    ByteWriter w;
    w.Word(static_cast<uint32_t>(windows.size() * 8));
    for (const WindowTemplate& t : windows) w.Word(t.windowId);
    for (size_t i = 0; i < windows.size(); ++i) w.Word(0);  // slots, filled at load
    for (const WindowTemplate& t : windows) {
        w.Word(t.wordA);
        w.Word(t.wordB);
        w.Counted(t.name);
        w.Counted(t.remark);
        // IdBlobList: the count, then one counted block with the ids, the
        // offsets (from the end of the offsets) and the length-prefixed records.
        ByteWriter records;
        std::vector<uint32_t> offsets;
        for (const UnitRecord& r : t.records) {
            offsets.push_back(static_cast<uint32_t>(records.size()));
            records.Counted(BuildUnitRecord(r));
        }
        ByteWriter content;
        for (const UnitRecord& r : t.records) content.Word(r.id);
        for (uint32_t off : offsets) content.Word(off);
        content.Bytes(records.bytes());
        w.Word(static_cast<uint32_t>(t.records.size()));
        w.Counted(content.bytes());
    }
    return w.Take();
}

std::vector<uint8_t> BuildProgramImage(const ProgramImage& image, ImageLayout& layout) {
    ImageWriter w;
    size_t header = w.Reserve(kHeaderWords);
    const ProgramImageHeader& h = image.header;
    w.Patch(header, 0, h.buildMode);
    w.Patch(header, 1, h.modeWord2);
    w.Patch(header, 2, h.buildNumber);
    w.Patch(header, 3, h.codeBase);

    layout = ImageLayout{};
    if (!image.libraries.empty()) {
        size_t list = w.Reserve(image.libraries.size());
        layout.libraryList = static_cast<uint32_t>(list);
        w.Patch(header, 8, static_cast<uint32_t>(image.libraries.size()));
        w.Patch(header, 9, static_cast<uint32_t>(list));
        for (size_t i = 0; i < image.libraries.size(); ++i) {
            size_t at = w.Reserve(36);
            layout.libraries.push_back(static_cast<uint32_t>(at));
            w.Patch(list, i, static_cast<uint32_t>(at));
            WriteLibrary(w, at, image.libraries[i]);
        }
    }

    layout.constStart = w.Block(image.constants);
    w.Patch(header, 4, layout.constStart);
    w.Patch(header, 5, static_cast<uint32_t>(image.constants.size()));

    if (!image.windows.empty()) {
        std::vector<uint8_t> block = BuildWindowTemplates(image.windows);
        layout.templateStart = w.Block(block);
        layout.templateLength = static_cast<uint32_t>(block.size());
        w.Patch(header, 6, layout.templateStart);
        w.Patch(header, 7, layout.templateLength);
    }

    size_t dllCount = std::max(image.dllFiles.size(), image.dllNames.size());
    w.Patch(header, 10, static_cast<uint32_t>(dllCount));
    w.Patch(header, 11, WriteTextList(w, image.dllFiles, dllCount));
    w.Patch(header, 12, WriteTextList(w, image.dllNames, dllCount));
    return w.Take();
}

std::vector<uint8_t> BuildProgramImage(const ProgramImage& image) {
    ImageLayout layout;
    return BuildProgramImage(image, layout);
}

}  // namespace kesu::tools
