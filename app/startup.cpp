// Start-up: the window's Created handler.
#include "app/commands.h"
#include "app/handlers.h"
#include "app/hex_text.h"
#include "app/state.h"
#include "app/window_units.h"

namespace kesu::app {

void OnWindowCreated() {
    // The byte sets are derived first, then the ports are scanned on this thread: no other event
    // is handled until the scan is done, and the window shows only afterwards.
    OnSendBoxChanged();
    OnConditionChanged();
    OnReplyChanged();
    ScanPorts();
}

}  // namespace kesu::app
