// The application state shared by the handlers: global, one of each, starting as 0 or as the
// empty byte set.
//
// Counters are 64-bit so that a long capture at a high line rate never turns them negative; below
// 2^31 they show exactly as 32-bit counters would. The receive path (received data, display
// batch, held lead byte, trigger window and their counters) is touched only by the window thread.
// `sentCount` is added to by send workers and cleared by the window thread, so it is atomic. The
// six prepared byte sets are replaced by the window thread and read by send workers; the workers
// take a copy under `preparedBytesLock`, so a replacement never frees bytes still being sent.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "app/growing_byte_set.h"
#include "app/owned_value.h"

namespace kesu::app {

struct PreparedBytes {
    OwnedBytes sendText, sendHex;            // sendTextBytes, sendHexBytes
    OwnedBytes conditionText, conditionHex;  // conditionTextBytes, conditionHexBytes
    OwnedBytes replyText, replyHex;          // replyTextBytes, replyHexBytes
};
extern PreparedBytes prepared;
extern std::mutex preparedBytesLock;

extern int64_t receivedCount;
extern std::atomic<int64_t> sentCount;
extern int64_t triggerCount;
extern int64_t timeoutCount;
extern int64_t lastTimeoutReceived;
extern int64_t shownReceived;
extern int64_t shownSent;
extern GrowingByteSet pendingDisplay;
extern int32_t leadByteCount;
extern GrowingByteSet heldBytes;
extern GrowingByteSet matchWindow;
extern std::atomic<float> bitsPerCharacter;
extern std::atomic<int32_t> scanPortNumber;

// Releases every byte set of the state; registered as the program's clean-up routine.
void ReleaseState();
// Back to the start values; for a fresh start of the window in tests.
void ResetState();

// A copy of one prepared byte set, taken under the lock (the caller owns it).
OwnedBytes CopyPrepared(const OwnedBytes PreparedBytes::*which);
// Replaces one prepared byte set under the lock.
void ReplacePrepared(OwnedBytes PreparedBytes::*which, OwnedBytes bytes);

using PreparedMember = OwnedBytes PreparedBytes::*;
// Derives both forms of an edit box's content: its bytes as text, and the bytes it spells in hex.
void PrepareFromBox(uint32_t editBoxId, PreparedMember textForm, PreparedMember hexForm);

}  // namespace kesu::app
