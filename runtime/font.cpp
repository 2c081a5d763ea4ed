#include "runtime/font.h"

#include <algorithm>
#include <cstring>

namespace kesu {

namespace {

constexpr int32_t kBoldWeight = 700;
constexpr int32_t kNormalWeight = 400;
constexpr int32_t kDotsPerInch = 96;
constexpr int32_t kPointsPerInch = 72;
constexpr uint8_t kGb2312CharSet = 134;

int32_t WrapAngle(int64_t tenths) {
    int64_t wrapped = tenths % 3600;
    if (wrapped < 0) wrapped += 3600;
    return static_cast<int32_t>(wrapped);
}

}  // namespace

FontRecord DefaultInterfaceFont() {
    FontRecord font;
    SetFontPoints(font, 9);
    font.weight = kNormalWeight;
    font.char_set = kGb2312CharSet;
    SetFontFace(font, kDefaultFontFace);
    return font;
}

FontRecord FontFromBytes(std::string_view bytes) {
    if (bytes.size() != sizeof(FontRecord)) return DefaultInterfaceFont();
    FontRecord font;
    std::memcpy(&font, bytes.data(), sizeof font);
    // A stored face may lack its terminator; the last byte is always made one.
    font.face[sizeof font.face - 1] = '\0';
    return font;
}

std::string FontToBytes(const FontRecord& font) {
    return std::string(reinterpret_cast<const char*>(&font), sizeof font);
}

int32_t FontPoints(const FontRecord& font) {
    int64_t pixels = font.height < 0 ? -static_cast<int64_t>(font.height) : font.height;
    return static_cast<int32_t>((pixels * kPointsPerInch + kDotsPerInch / 2) / kDotsPerInch);
}

void SetFontPoints(FontRecord& font, int32_t points) {
    if (points < 0) points = 0;
    int64_t pixels =
        (static_cast<int64_t>(points) * kDotsPerInch + kPointsPerInch / 2) / kPointsPerInch;
    font.height = static_cast<int32_t>(-pixels);
}

std::string FontFace(const FontRecord& font) {
    return std::string(font.face, strnlen(font.face, sizeof font.face));
}

FontComponents FontComponentsOf(const FontRecord& font) {
    FontComponents c;
    c.angle = static_cast<int32_t>(FontComponentOf(font, kFontAngle));
    c.bold = static_cast<int32_t>(FontComponentOf(font, kFontBold));
    c.italic = static_cast<int32_t>(FontComponentOf(font, kFontItalic));
    c.strike_out = static_cast<int32_t>(FontComponentOf(font, kFontStrikeOut));
    c.underline = static_cast<int32_t>(FontComponentOf(font, kFontUnderline));
    c.size = static_cast<int32_t>(FontComponentOf(font, kFontSize));
    c.face = FontFace(font);
    return c;
}

int64_t FontComponentOf(const FontRecord& font, int component) {
    switch (component) {
        case kFontAngle:
            return font.escapement;
        case kFontBold:
            return font.weight >= kBoldWeight ? 1 : 0;
        case kFontItalic:
            return font.italic != 0;
        case kFontStrikeOut:
            return font.strike_out != 0;
        case kFontUnderline:
            return font.underline != 0;
        case kFontSize:
            return FontPoints(font);
        default:
            return 0;
    }
}

void SetFontComponent(FontRecord& font, int component, int64_t value) {
    switch (component) {
        case kFontAngle:
            font.escapement = font.orientation = WrapAngle(value);
            break;
        case kFontBold:
            font.weight = value != 0 ? kBoldWeight : 0;
            break;
        case kFontItalic:
            font.italic = value != 0;
            break;
        case kFontStrikeOut:
            font.strike_out = value != 0;
            break;
        case kFontUnderline:
            font.underline = value != 0;
            break;
        case kFontSize:
            SetFontPoints(font, static_cast<int32_t>(std::clamp<int64_t>(value, 0, INT32_MAX)));
            break;
        default:
            break;
    }
}

void SetFontFace(FontRecord& font, std::string_view face) {
    if (face.empty() || face.size() >= sizeof font.face || face.find('\0') != face.npos) {
        face = kDefaultFontFace;
    }
    std::memset(font.face, 0, sizeof font.face);
    std::memcpy(font.face, face.data(), face.size());
}

void SetFontComponents(FontRecord& font, const FontComponents& c) {
    SetFontComponent(font, kFontAngle, c.angle);
    SetFontComponent(font, kFontBold, c.bold);
    SetFontComponent(font, kFontItalic, c.italic);
    SetFontComponent(font, kFontStrikeOut, c.strike_out);
    SetFontComponent(font, kFontUnderline, c.underline);
    SetFontComponent(font, kFontSize, c.size);
    SetFontFace(font, c.face);
}

}  // namespace kesu
