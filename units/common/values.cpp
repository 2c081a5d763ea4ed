#include "units/common/values.h"

#include "runtime/notify.h"

namespace kesu::units {

Unit* LookUpUnit(const ArgRecord& reference) {
    return reinterpret_cast<Unit*>(
        NotifyRuntime(notify::kFindUnitOrFail, reference.low, reference.high));
}

Unit* FindLiveUnit(const ArgRecord& reference) {
    return reinterpret_cast<Unit*>(NotifyRuntime(notify::kFindUnit, reference.low, reference.high));
}

std::string TextArgument(const ArgRecord& arg) {
    if (arg.type != kTypeText) return std::string();
    return TextToString(arg.AsText());
}

std::string TextOf(const PropertyValue& value) {
    const std::string& b = value.bytes;
    return b.substr(0, b.find('\0'));
}

}  // namespace kesu::units
