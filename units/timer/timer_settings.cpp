#include "units/timer/timer_settings.h"

#include <algorithm>

#include "runtime/unit.h"
#include "units/common/block_fields.h"

namespace kesu::units {

bool TimerSettings::Load(std::string_view block) {
    *this = TimerSettings{};
    if (block.empty()) return true;
    BlockReader in(block);
    if (!ReadVersion(in, kVersion)) return RejectBlock(*this);
    ReadWord(in, interval);
    if (in.failed()) return RejectBlock(*this);
    interval = std::max(interval, 0);
    return true;
}

std::string TimerSettings::Save() const {
    BlockWriter out;
    WriteWord(out, kVersion);
    WriteWord(out, interval);
    return out.Take();
}

}  // namespace kesu::units
