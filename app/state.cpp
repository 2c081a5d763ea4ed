#include "app/state.h"

#include "app/commands.h"
#include "app/hex_text.h"
#include "app/window_units.h"

namespace kesu::app {

void ReleaseState() {
    AssistantState& state = Assistant();
    {
        std::lock_guard lock(state.preparedBytesLock);
        state.prepared.sendText.reset();
        state.prepared.sendHex.reset();
        state.prepared.conditionText.reset();
        state.prepared.conditionHex.reset();
        state.prepared.replyText.reset();
        state.prepared.replyHex.reset();
    }
    state.pendingDisplay.Release();
    state.heldBytes.Release();
    state.matchWindow.Release();
}

OwnedBytes CopyPrepared(const OwnedBytes PreparedBytes::*which) {
    AssistantState& state = Assistant();
    std::lock_guard lock(state.preparedBytesLock);
    const OwnedBytes& bytes = state.prepared.*which;
    return OwnedBytes(MakeByteSet(ByteSetData(bytes.get()), bytes.size()));
}

void ReplacePrepared(OwnedBytes PreparedBytes::*which, OwnedBytes bytes) {
    AssistantState& state = Assistant();
    OwnedBytes old;
    {
        std::lock_guard lock(state.preparedBytesLock);
        old = std::move(state.prepared.*which);
        state.prepared.*which = std::move(bytes);
    }
}

void PrepareFromBox(uint32_t editBoxId, PreparedMember textForm, PreparedMember hexForm) {
    OwnedText content = EditBoxHandle(editBoxId).Content();
    ReplacePrepared(textForm, ToBytes(content.c_str()));
    ReplacePrepared(hexForm, ParseHexText(content.c_str()));
}

}  // namespace kesu::app
