#include "units/common/type_descriptor.h"

namespace kesu::units {

namespace {

constexpr std::uint16_t kCommonFlags = 0xE000;
constexpr std::uint16_t kTypeSpecificFlags = 0x8000;
constexpr std::uint16_t kMousePointer = 1011;
// Left, top, width, height, tag, visible, disabled, mouse pointer.
constexpr std::uint16_t kCommonKinds[8] = {kind::kWord,    kind::kWord,  kind::kWord,
                                           kind::kWord,    kind::kText,  kind::kLogical,
                                           kind::kLogical, kMousePointer};

}  // namespace

UnitTypeDescriptor DescribeUnitType(std::string_view chineseName, std::string_view englishName,
                                    std::uint32_t flags,
                                    std::initializer_list<std::uint16_t> kinds) {
    UnitTypeDescriptor d;
    d.present = true;
    d.chineseName = chineseName;
    d.englishName = englishName;
    d.flags = flags;
    for (std::uint16_t k : kCommonKinds) {
        PropertyDescriptor p;
        p.kind = k;
        p.flags = kCommonFlags;
        d.properties.push_back(p);
    }
    for (std::uint16_t k : kinds) {
        PropertyDescriptor p;
        p.kind = k;
        p.flags = kTypeSpecificFlags;
        d.properties.push_back(p);
    }
    return d;
}

}  // namespace kesu::units
