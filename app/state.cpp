#include "app/state.h"

#include "app/commands.h"
#include "app/hex_text.h"
#include "app/window_units.h"

namespace kesu::app {

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

void ReleaseState() {
    {
        std::lock_guard lock(preparedBytesLock);
        prepared.sendText.reset();
        prepared.sendHex.reset();
        prepared.conditionText.reset();
        prepared.conditionHex.reset();
        prepared.replyText.reset();
        prepared.replyHex.reset();
    }
    pendingDisplay.Release();
    heldBytes.Release();
    matchWindow.Release();
}

void ResetState() {
    ReleaseState();
    receivedCount = 0;
    sentCount = 0;
    triggerCount = 0;
    timeoutCount = 0;
    lastTimeoutReceived = 0;
    shownReceived = 0;
    shownSent = 0;
    leadByteCount = 0;
    bitsPerCharacter = 0.0f;
    scanPortNumber = 0;
}

OwnedBytes CopyPrepared(const OwnedBytes PreparedBytes::*which) {
    std::lock_guard lock(preparedBytesLock);
    const OwnedBytes& bytes = prepared.*which;
    return OwnedBytes(MakeByteSet(ByteSetData(bytes.get()), bytes.size()));
}

void ReplacePrepared(OwnedBytes PreparedBytes::*which, OwnedBytes bytes) {
    OwnedBytes old;
    {
        std::lock_guard lock(preparedBytesLock);
        old = std::move(prepared.*which);
        prepared.*which = std::move(bytes);
    }
}

void PrepareFromBox(uint32_t editBoxId, PreparedMember textForm, PreparedMember hexForm) {
    OwnedText content = EditBoxHandle(editBoxId).Content();
    ReplacePrepared(textForm, ToBytes(content.c_str()));
    ReplacePrepared(hexForm, ParseHexText(content.c_str()));
}

}  // namespace kesu::app
