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
    ++receivedCount;
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
    pendingDisplay.Append(shown, sizeof shown);
}

void ShowByteAsText(uint8_t b) {
    if (b < 0x80 && leadByteCount == 0) {
        pendingDisplay.Append(b);
        return;
    }
    // A byte of 0x80 or above opens a two-byte character; the next byte, whatever it is,
    // completes it, and the pair goes to the display together.
    heldBytes.Append(b);
    ++leadByteCount;
    if (leadByteCount == 2) {
        pendingDisplay.Append(heldBytes.Data(), heldBytes.Length());
        leadByteCount = 0;
        heldBytes.Clear();
    }
}

void OnTimeoutTimerTick() {
    if (!kTimeoutBreak.Checked() || receivedCount == lastTimeoutReceived) return;
    lastTimeoutReceived = receivedCount;
    ++timeoutCount;
    AppendMarker('<', timeoutCount, '>');
}

void RefreshDisplay() {
    const int64_t sent = sentCount.load();
    if (receivedCount == shownReceived && sent == shownSent) return;
    shownReceived = receivedCount;
    shownSent = sent;
    ShowCount(kSentCount, sent);
    ShowCount(kReceivedCount, receivedCount);
    ShowCount(kTriggerCount, triggerCount);
    OwnedText batch = BatchText(pendingDisplay.View());
    kReceiveBox.AddText({batch.c_str()});
    pendingDisplay.Clear();
}

void OnClearCountsClicked() {
    shownSent = 0;
    sentCount = 0;
    receivedCount = 0;
    shownReceived = 0;
    triggerCount = 0;
    timeoutCount = 0;
    OwnedText zero = IntToText(0);
    kTriggerCount.SetContent(zero.c_str());
    kReceivedCount.SetContent(zero.c_str());
    kSentCount.SetContent(zero.c_str());
}

}  // namespace kesu::app
