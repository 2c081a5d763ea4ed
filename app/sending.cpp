// Sending: the manual and periodic sends of the send box, the hand-over of bytes to the port with
// its DTR pulse and delay, and the two send-related edit boxes.
#include <cmath>
#include <mutex>

#include "app/commands.h"
#include "app/handlers.h"
#include "app/state.h"
#include "app/window_units.h"

namespace kesu::app {

int32_t IntegerOf(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int32_t>(value);
}

int32_t SendDelayMilliseconds(int64_t byteCount, double bitsPerChar, double baudRate) {
    const double ms = static_cast<double>(byteCount) * bitsPerChar / baudRate * 1000.0;
    // A rate that is no positive number would give an infinite, negative or undefined delay:
    // such a send takes no time.
    if (!std::isfinite(ms) || ms <= 0.0) return 0;
    return IntegerOf(ms);
}

void SendBytes(const uint8_t* data) {
    AssistantState& state = Assistant();
    bool ok;
    {
        std::lock_guard lock(state.sendLock);
        ok = kSerialPort.SendData(data);
    }
    const int32_t length = BytesLength(data);
    if (ok) {
        kManualSend.SetDisabled(true);
        kManualSend.SetCaption("正在发送");
        state.sentCount += length;
        kDtrOutput.SetChecked(true);
        kSerialPort.SetLineSignal(units::SignalAction::kSet, units::SignalLine::kDtr);
        kDtrOutput.SetCaption("低电平");
    } else {
        kPeriodicSend.SetChecked(false);
        kWindow.SetTitle("发送失败！");
    }
    OwnedText baud = kBaudRate.Content();
    Delay(SendDelayMilliseconds(length, state.bitsPerCharacter.load(), ToNumber(baud.c_str())));
    kManualSend.SetDisabled(false);
    kDtrOutput.SetChecked(false);
    kManualSend.SetCaption("手动发送");
    kDtrOutput.SetCaption("高电平");
    kSerialPort.SetLineSignal(units::SignalAction::kClear, units::SignalLine::kDtr);
}

void SendPrepared(PreparedMember hexForm, PreparedMember textForm) {
    // The choice between the two forms is made now, when the worker runs, by HEX发送.
    OwnedBytes data = CopyPrepared(kHexSend.Checked() ? hexForm : textForm);
    SendBytes(data.get());
}

void SendSendBox() {
    SendPrepared(&PreparedBytes::sendHex, &PreparedBytes::sendText);
}

void OnSendBoxChanged() {
    PrepareFromBox(kSendBox.id(), &PreparedBytes::sendText, &PreparedBytes::sendHex);
}

void OnManualSendClicked() {
    StartWorker<SendSendBox>();
}

void OnPeriodicTimerTick() {
    if (kPeriodicSend.Checked() && !kManualSend.Disabled()) StartWorker<SendSendBox>();
}

void OnSendPeriodChanged() {
    OwnedText period = kSendPeriod.Content();
    kPeriodicTimer.SetInterval(IntegerOf(ToNumber(period.c_str())));
}

}  // namespace kesu::app
