#include "runtime/mouse_pointer.h"

#include <cstring>
#include <string_view>

#include "runtime/windows.h"

namespace kesu {

namespace {

constexpr size_t kIconDirBytes = 6;
constexpr size_t kIconEntryBytes = 16;
constexpr size_t kBitmapHeaderBytes = 40;
constexpr int kLargestPicture = 256;

// Bounds-checked little-endian reads; a read outside the bytes sets `ok` false and gives 0.
struct Bytes {
    std::span<const uint8_t> b;
    bool ok = true;
    uint32_t At(size_t off, size_t n) {
        if (off > b.size() || b.size() - off < n) {
            ok = false;
            return 0;
        }
        uint32_t v = 0;
        for (size_t i = n; i-- > 0;) v = v << 8 | b[off + i];
        return v;
    }
    uint32_t U16(size_t off) { return At(off, 2); }
    uint32_t U32(size_t off) { return At(off, 4); }
    bool Tag(size_t off, std::string_view tag) {
        return off <= b.size() && b.size() - off >= tag.size() &&
               std::memcmp(b.data() + off, tag.data(), tag.size()) == 0;
    }
};

// A device-independent bitmap as an icon file stores it: a colour image of twice the picture's
// height with its transparency mask of one bit per pixel after it, both bottom row first.
std::optional<platform::CursorImage> ReadIconBitmap(std::span<const uint8_t> data) {
    Bytes in{data};
    const uint32_t header = in.U32(0);
    const auto width = static_cast<int32_t>(in.U32(4));
    const auto doubled = static_cast<int32_t>(in.U32(8));
    const uint32_t bpp = in.U16(14);
    const uint32_t compression = in.U32(16);
    const uint32_t colours_used = in.U32(32);
    if (!in.ok || header < kBitmapHeaderBytes || compression != 0 || width <= 0 ||
        width > kLargestPicture || doubled <= 0 || doubled / 2 > kLargestPicture || doubled < 2) {
        return std::nullopt;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return std::nullopt;
    const int height = doubled / 2;
    const size_t palette_size = colours_used != 0 ? colours_used : (bpp <= 8 ? 1u << bpp : 0);
    if (palette_size > 256) return std::nullopt;
    const size_t palette = header;
    const size_t colour = palette + palette_size * 4;
    const size_t colour_stride = (static_cast<size_t>(width) * bpp + 31) / 32 * 4;
    const size_t mask = colour + colour_stride * static_cast<size_t>(height);
    const size_t mask_stride = (static_cast<size_t>(width) + 31) / 32 * 4;
    if (mask + mask_stride * static_cast<size_t>(height) > data.size()) return std::nullopt;

    platform::CursorImage image;
    image.width = width;
    image.height = height;
    image.argb.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    bool any_alpha = false;
    for (int y = 0; y < height; ++y) {
        const size_t row = colour + colour_stride * static_cast<size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            if (bpp <= 8) {
                const size_t bit = static_cast<size_t>(x) * bpp;
                const uint32_t byte = data[row + bit / 8];
                const uint32_t index = (byte >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                pixel = index < palette_size ? in.U32(palette + index * 4) & 0xFFFFFF : 0;
            } else if (bpp == 24) {
                pixel = in.At(row + static_cast<size_t>(x) * 3, 3);
            } else {
                pixel = in.U32(row + static_cast<size_t>(x) * 4);
                any_alpha |= (pixel >> 24) != 0;
            }
            image.argb[static_cast<size_t>(y) * width + x] = pixel;
        }
    }
    if (!any_alpha) {
        // Without alpha the mask decides: a set bit over black shows what is beneath; over
        // another colour it would invert it, which a picture cannot, so that pixel shows black.
        for (int y = 0; y < height; ++y) {
            const size_t row = mask + mask_stride * static_cast<size_t>(height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const bool clear = (data[row + static_cast<size_t>(x) / 8] >> (7 - x % 8)) & 1;
                uint32_t& pixel = image.argb[static_cast<size_t>(y) * width + x];
                pixel = clear ? (pixel & 0xFFFFFF ? 0xFF000000u : 0) : (pixel | 0xFF000000u);
            }
        }
    }
    if (!in.ok) return std::nullopt;
    return image;
}

std::optional<platform::CursorImage> ReadIconDirectory(std::span<const uint8_t> bytes) {
    Bytes in{bytes};
    const uint32_t reserved = in.U16(0);
    const uint32_t type = in.U16(2);
    const uint32_t count = in.U16(4);
    const size_t entry = kIconDirBytes;
    const uint32_t hot_x = in.U16(entry + 4);
    const uint32_t hot_y = in.U16(entry + 6);
    const uint32_t size = in.U32(entry + 8);
    const uint32_t offset = in.U32(entry + 12);
    if (!in.ok || reserved != 0 || (type != 1 && type != 2) || count == 0 ||
        offset < kIconDirBytes + kIconEntryBytes || offset > bytes.size() ||
        size > bytes.size() - offset) {
        return std::nullopt;
    }
    auto image = ReadIconBitmap(bytes.subspan(offset, size));
    if (image && type == 2) {
        image->hot_x = std::min(static_cast<int>(hot_x), image->width - 1);
        image->hot_y = std::min(static_cast<int>(hot_y), image->height - 1);
    }
    return image;
}

// An animated cursor is a RIFF "ACON" form whose "fram" list holds one "icon" chunk (a cursor
// file) per frame; chunks are padded to an even length.
std::optional<platform::CursorImage> ReadAnimatedCursor(std::span<const uint8_t> bytes) {
    Bytes in{bytes};
    auto chunks = [&in](size_t from, size_t end, auto&& visit) {
        for (size_t at = from; at + 8 <= end;) {
            const uint32_t size = in.U32(at + 4);
            if (!in.ok || size > end - at - 8) return;
            if (visit(at, at + 8, size)) return;
            at += 8 + size + (size & 1);
        }
    };
    std::optional<platform::CursorImage> first;
    chunks(12, bytes.size(), [&](size_t at, size_t data, uint32_t size) {
        if (!in.Tag(at, "LIST") || !in.Tag(data, "fram")) return false;
        chunks(data + 4, data + size, [&](size_t frame, size_t frame_data, uint32_t frame_size) {
            if (!in.Tag(frame, "icon")) return false;
            first = ReadIconDirectory(bytes.subspan(frame_data, frame_size));
            return true;
        });
        return true;
    });
    return first;
}

// The hand, drawn at the top left of a 32 by 32 pointer: '#' outline, '.' fill.
constexpr const char* kHandRows[] = {
    "    ##          ", "   #..#         ", "   #..#         ", "   #..#         ",
    "   #..#         ", "   #..###       ", "   #..#..###    ", "   #..#..#..##  ",
    "   #..#..#..#.# ", "## #..#..#..#..#", "#..#...........#", "#...#..........#",
    " #.............#", "  #............#", "  #...........# ", "   #..........# ",
    "   #.........#  ", "    #........#  ", "    #........#  ", "    ##########  ",
};

platform::CursorImage DrawHand() {
    platform::CursorImage hand;
    hand.width = 32;
    hand.height = 32;
    hand.argb.assign(32 * 32, 0);
    for (size_t y = 0; y < std::size(kHandRows); ++y) {
        for (size_t x = 0; kHandRows[y][x] != '\0'; ++x) {
            const char c = kHandRows[y][x];
            if (c != ' ') hand.argb[y * 32 + x] = c == '#' ? 0xFF000000u : 0xFFFFFFFFu;
        }
    }
    hand.hot_x = 4;
    hand.hot_y = 0;
    return hand;
}

}  // namespace

std::optional<platform::CursorImage> ReadCursorFile(std::span<const uint8_t> bytes) {
    Bytes in{bytes};
    if (in.Tag(0, "RIFF") && in.Tag(8, "ACON")) return ReadAnimatedCursor(bytes);
    return ReadIconDirectory(bytes);
}

const platform::CursorImage& ProgramHandCursor() {
    static const platform::CursorImage hand = DrawHand();
    return hand;
}

MousePointer PointerForId(uint32_t id) {
    MousePointer p;
    p.id = id;
    if (id == kHandCursorId) {
        // The picture lives for the whole run; the pointer only refers to it.
        p.image = std::shared_ptr<const platform::CursorImage>(
            std::shared_ptr<const platform::CursorImage>{}, &ProgramHandCursor());
    }
    return p;
}

MousePointer LoadMousePointer(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return {};
    uint32_t value = bytes[0];
    if (bytes.size() > 3) value = Bytes{bytes}.U32(0);
    auto from_file = [](std::span<const uint8_t> data) {
        MousePointer p;
        if (auto image = ReadCursorFile(data)) {
            p.image = std::make_shared<const platform::CursorImage>(std::move(*image));
        }
        return p;
    };
    if (value != 0xFFFFFFFFu && bytes.size() > 10) {
        MousePointer p = from_file(bytes);
        if (p.image) return p;
    }
    if (value == 0xFFFFFFFFu)
        return bytes.size() >= 5 ? from_file(bytes.subspan(4)) : MousePointer{};
    return PointerForId(CursorIdFromPointerBytes(bytes));
}

}  // namespace kesu
