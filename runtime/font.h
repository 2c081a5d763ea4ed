#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kesu {

// The font record that units store and exchange with the runtime: 60 bytes, all integers
// little-endian. Units keep it as raw bytes in their stored blocks; the runtime reads and writes
// its parts through the component indices of font properties.
struct FontRecord {
    int32_t height = 0;       // character height in pixels, negative for the em height
    int32_t width = 0;        // 0 lets the face choose
    int32_t escapement = 0;   // angle in tenths of a degree
    int32_t orientation = 0;  // kept equal to the escapement
    int32_t weight = 0;       // 700 is bold, 0 or 400 normal
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strike_out = 0;
    uint8_t char_set = 0;
    uint8_t out_precision = 0;
    uint8_t clip_precision = 0;
    uint8_t quality = 0;
    uint8_t pitch_and_family = 0;
    char face[32] = {};  // zero-terminated GBK face name
};
static_assert(sizeof(FontRecord) == 60, "the font record is exchanged as exactly 60 bytes");

// Component indices of a font property. kFontWhole reads or writes all of them at once.
enum FontComponent : int {
    kFontWhole = -1,
    kFontAngle = 0,
    kFontBold = 1,
    kFontItalic = 2,
    kFontStrikeOut = 3,
    kFontUnderline = 4,
    kFontSize = 5,
    kFontFace = 6,
};

// The seven components of a font in their index order; the face is GBK bytes.
struct FontComponents {
    int32_t angle = 0;
    int32_t bold = 0;
    int32_t italic = 0;
    int32_t strike_out = 0;
    int32_t underline = 0;
    int32_t size = 0;
    std::string face;
};

// The face used whenever a face name is missing or unusable: 宋体 in GBK.
inline constexpr std::string_view kDefaultFontFace = "\xCB\xCE\xCC\xE5";

// The interface font that a unit without usable font data shows (9 points of the default face).
FontRecord DefaultInterfaceFont();

// Parses 60 stored bytes; anything of another length gives the default interface font.
FontRecord FontFromBytes(std::string_view bytes);
std::string FontToBytes(const FontRecord& font);

// Point size from the record's pixel height at 96 dots per inch, rounded to nearest, and back.
int32_t FontPoints(const FontRecord& font);
void SetFontPoints(FontRecord& font, int32_t points);

FontComponents FontComponentsOf(const FontRecord& font);
int64_t FontComponentOf(const FontRecord& font, int component);  // components 0 to 5
std::string FontFace(const FontRecord& font);

// Replaces one component (0 to 5) with the rules of font properties: the angle is wrapped into
// 0..3599, bold becomes weight 700 or 0, the flags become 0 or 1. Other components are ignored.
void SetFontComponent(FontRecord& font, int component, int64_t value);
// A face of 1 to 31 bytes is taken as it is; anything else becomes the default face.
void SetFontFace(FontRecord& font, std::string_view face);
void SetFontComponents(FontRecord& font, const FontComponents& components);

}  // namespace kesu
