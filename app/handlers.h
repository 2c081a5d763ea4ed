// The assistant's routines and event handlers. Each handler runs on the thread the window's
// binding table names: the window thread, or a new worker started with StartThread.
#pragma once

#include <cstdint>

#include "app/owned_value.h"
#include "app/state.h"

namespace kesu::app {

// The integer part of a real number, truncated toward zero, as integer properties take it. A
// value outside the 32-bit range is held at the nearest end instead of being undefined, and a
// value that is no number gives 0.
int32_t IntegerOf(double value);

// ---- Port scan, line settings, open and close ----
void ScanPorts();
void ApplyLineSettings();
void OpenPort();
void ClosePort();
void OnPortListDroppingDown();
void OnPortButtonClicked();
void OnDtrClicked();
void OnRtsClicked();
// 串口's LineEvent: closes the port when its device has gone.
void OnPortLineEvent(int32_t what);

// ---- Sending ----
// The send delay: the estimated time the bytes occupy the line, in whole milliseconds; 0 when
// the rate is not a positive number.
int32_t SendDelayMilliseconds(int64_t byteCount, double bitsPerChar, double baudRate);
void SendBytes(const uint8_t* data);
void SendSendBox();
// Sends the hex form of a prepared pair when HEX发送 is checked, else its text form.
void SendPrepared(OwnedBytes PreparedBytes::*hexForm, OwnedBytes PreparedBytes::*textForm);
void OnSendBoxChanged();
void OnManualSendClicked();
void OnPeriodicTimerTick();
void OnSendPeriodChanged();

// ---- Receiving and display ----
void OnDataArrived(int32_t value);
void ShowByteAsHex(uint8_t b);
void ShowByteAsText(uint8_t b);
void OnTimeoutTimerTick();
void RefreshDisplay();
void OnClearCountsClicked();

// ---- Trigger, automatic reply and beep ----
void CheckTrigger(uint8_t b);
// Appends the marker of trigger number n to the display batch.
void AppendTriggerMarker(int64_t n);
void SendReply();
void OnConditionChanged();
void OnReplyChanged();

// ---- Text files, compare and clearing ----
void SaveReceiveText();
void LoadSendText();
void OnSaveTextClicked();
void OnLoadTextClicked();
void OnCompareClicked();
void OnClearReceiveClicked();
void OnClearSendClicked();

// ---- Start-up ----
void OnWindowCreated();

}  // namespace kesu::app
