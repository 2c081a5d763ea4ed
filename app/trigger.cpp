// The trigger: the received stream is watched for the condition bytes; each occurrence counts and,
// as the user chose, marks the display, beeps and sends the reply.
#include <cstring>

#include "app/commands.h"
#include "app/handlers.h"
#include "app/state.h"
#include "app/window_units.h"

namespace kesu::app {

void CheckTrigger(uint8_t b) {
    AssistantState& state = Assistant();
    GrowingByteSet& matchWindow = state.matchWindow;
    matchWindow.Append(b);
    // The condition byte sets are replaced only on this thread, so reading them needs no lock.
    const OwnedBytes& condition =
        kHexDisplay.Checked() ? state.prepared.conditionHex : state.prepared.conditionText;
    const std::string_view wanted = condition.view();
    matchWindow.KeepLast(wanted.size());
    if (matchWindow.Length() != wanted.size() || matchWindow.View() != wanted) return;

    // Occurrences do not overlap: the next match needs as many new bytes as the condition has.
    matchWindow.Clear();
    ++state.triggerCount;
    if (kTriggerBreak.Checked()) AppendTriggerMarker(state.triggerCount);
    if (kTriggerBeep.Checked()) Beep();
    if (kAutoReply.Checked()) StartWorker<SendReply>();
}

void SendReply() {
    SendPrepared(&PreparedBytes::replyHex, &PreparedBytes::replyText);
}

void OnConditionChanged() {
    PrepareFromBox(kConditionBox.id(), &PreparedBytes::conditionText, &PreparedBytes::conditionHex);
}

void OnReplyChanged() {
    PrepareFromBox(kReplyBox.id(), &PreparedBytes::replyText, &PreparedBytes::replyHex);
}

}  // namespace kesu::app
