// Receiving and display: every received byte is counted, turned into its display form and passed
// to the trigger; the display batch reaches the receive box at most once per refresh tick.
#include <cstring>
#include <string>

#include "app/commands.h"
#include "app/handlers.h"
#include "app/state.h"
#include "app/window_units.h"

namespace kesu::app {

namespace {

void AppendMarker(char open, int64_t n, char close) {
    OwnedText number = IntToText(n);
    GrowingByteSet& pendingDisplay = Assistant().pendingDisplay;
    pendingDisplay.Append(static_cast<uint8_t>(open));
    pendingDisplay.Append(number.view());
    pendingDisplay.Append(static_cast<uint8_t>(close));
    pendingDisplay.Append("\r\n");
}

// The display batch as one text. A zero byte cannot stand in a text; it alone is left out, and
// every byte behind it in the batch is still shown.
OwnedText BatchText(std::string_view batch) {
    if (batch.find('\0') == std::string_view::npos) {
        return OwnedText(CopyTextN(batch.data(), static_cast<intptr_t>(batch.size())));
    }
    std::string kept;
    kept.reserve(batch.size());
    for (char c : batch) {
        if (c != '\0') kept.push_back(c);
    }
    return OwnedText(CopyTextN(kept.data(), static_cast<intptr_t>(kept.size())));
}

void ShowCount(const EditBoxHandle& box, int64_t count) {
    OwnedText shown = FormatWithSeparators(static_cast<double>(count));
    box.SetContent(shown.c_str());
}

}  // namespace

void AppendTriggerMarker(int64_t n) {
    AppendMarker('[', n, ']');
}

void OnDataArrived(int32_t value) {
    const uint8_t b = static_cast<uint8_t>(value);
    ++Assistant().receivedCount;
    if (kTimeoutBreak.Checked()) {
        // Restarts the time-out measurement at every byte.
        kTimeoutTimer.SetInterval(0);
        OwnedText period = kTimeoutPeriod.Content();
        kTimeoutTimer.SetInterval(IntegerOf(ToNumber(period.c_str())));
    }
    if (kHexDisplay.Checked()) {
        ShowByteAsHex(b);
    } else {
        ShowByteAsText(b);
    }
    if (kWatchReceive.Checked()) CheckTrigger(b);
}

void ShowByteAsHex(uint8_t b) {
    // Two upper-case digits and a blank, the form "0" + ToHexText(b) takes below 0x10.
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const uint8_t shown[3] = {static_cast<uint8_t>(kDigits[b >> 4]),
                              static_cast<uint8_t>(kDigits[b & 0x0F]), ' '};
    Assistant().pendingDisplay.Append(shown, sizeof shown);
}

void ShowByteAsText(uint8_t b) {
    AssistantState& state = Assistant();
    if (b < 0x80 && state.leadByteCount == 0) {
        state.pendingDisplay.Append(b);
        return;
    }
    // A byte of 0x80 or above opens a two-byte character; the next byte, whatever it is,
    // completes it, and the pair goes to the display together.
    state.heldBytes.Append(b);
    ++state.leadByteCount;
    if (state.leadByteCount == 2) {
        state.pendingDisplay.Append(state.heldBytes.Data(), state.heldBytes.Length());
        state.leadByteCount = 0;
        state.heldBytes.Clear();
    }
}

void OnTimeoutTimerTick() {
    AssistantState& state = Assistant();
    if (!kTimeoutBreak.Checked() || state.receivedCount == state.lastTimeoutReceived) return;
    state.lastTimeoutReceived = state.receivedCount;
    ++state.timeoutCount;
    AppendMarker('<', state.timeoutCount, '>');
}

void RefreshDisplay() {
    AssistantState& state = Assistant();
    const int64_t sent = state.sentCount.load();
    if (state.receivedCount == state.shownReceived && sent == state.shownSent) return;
    state.shownReceived = state.receivedCount;
    state.shownSent = sent;
    ShowCount(kSentCount, sent);
    ShowCount(kReceivedCount, state.receivedCount);
    ShowCount(kTriggerCount, state.triggerCount);
    OwnedText batch = BatchText(state.pendingDisplay.View());
    kReceiveBox.AddText({batch.c_str()});
    state.pendingDisplay.Clear();
}

void OnClearCountsClicked() {
    AssistantState& state = Assistant();
    state.shownSent = 0;
    state.sentCount = 0;
    state.receivedCount = 0;
    state.shownReceived = 0;
    state.triggerCount = 0;
    state.timeoutCount = 0;
    OwnedText zero = IntToText(0);
    kTriggerCount.SetContent(zero.c_str());
    kReceivedCount.SetContent(zero.c_str());
    kSentCount.SetContent(zero.c_str());
}

}  // namespace kesu::app
