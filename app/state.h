// The application state shared by the handlers: one object for the run, made at start-up after
// the runtime's state (and destroyed before it, since its byte sets are the runtime's memory),
// starting as 0 or as the empty byte set. The handlers reach it through Assistant().
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
#include "runtime/current_object.h"

namespace kesu::app {

struct PreparedBytes {
    OwnedBytes sendText, sendHex;            // sendTextBytes, sendHexBytes
    OwnedBytes conditionText, conditionHex;  // conditionTextBytes, conditionHexBytes
    OwnedBytes replyText, replyHex;          // replyTextBytes, replyHexBytes
};

struct AssistantState : CurrentObject<AssistantState> {
    PreparedBytes prepared;
    std::mutex preparedBytesLock;

    int64_t receivedCount = 0;
    std::atomic<int64_t> sentCount{0};
    int64_t triggerCount = 0;
    int64_t timeoutCount = 0;
    int64_t lastTimeoutReceived = 0;
    int64_t shownReceived = 0;
    int64_t shownSent = 0;
    GrowingByteSet pendingDisplay;
    int32_t leadByteCount = 0;
    GrowingByteSet heldBytes;
    GrowingByteSet matchWindow;
    std::atomic<float> bitsPerCharacter{0.0f};
    std::atomic<int32_t> scanPortNumber{0};

    // The port unit accepts one write at a time. Manual sends, periodic sends and automatic
    // replies each run on their own worker and may overlap, so the hand-over itself is taken in
    // turn. Only workers take this lock, never the window thread, which a worker may be waiting
    // for.
    std::mutex sendLock;
};

// The state of the running assistant; one must exist while a handler or worker runs.
inline AssistantState& Assistant() {
    return AssistantState::Get();
}

// Releases every byte set of the state; registered as the program's clean-up routine.
void ReleaseState();

// A copy of one prepared byte set, taken under the lock (the caller owns it).
OwnedBytes CopyPrepared(const OwnedBytes PreparedBytes::*which);
// Replaces one prepared byte set under the lock.
void ReplacePrepared(OwnedBytes PreparedBytes::*which, OwnedBytes bytes);

using PreparedMember = OwnedBytes PreparedBytes::*;
// Derives both forms of an edit box's content: its bytes as text, and the bytes it spells in hex.
void PrepareFromBox(uint32_t editBoxId, PreparedMember textForm, PreparedMember hexForm);

}  // namespace kesu::app
