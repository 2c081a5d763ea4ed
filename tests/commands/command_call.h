#pragma once

// Calling command bodies the way compiled code does, and taking their results
// over as owned values.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/runtime_state.h"
#include "runtime/sysfunc.h"
#include "runtime/value.h"

namespace kesu::commands::test {

// A test of command bodies in a run of its own: the bodies allocate their results and keep their
// files through the runtime, whose state each test makes fresh.
class CommandTest : public ::testing::Test {
  protected:
    RuntimeState runtime_;
};

inline ResultRecord Call(CommandBody body, std::vector<ArgRecord> args) {
    return CallCoreCommand(body, static_cast<int>(args.size()), args.data());
}

// Takes a text result over: checks that the empty text came back as null,
// copies it and frees the block.
inline std::string TakeText(const ResultRecord& r) {
    char* text = r.AsText();
    EXPECT_TRUE(text == nullptr || *text != 0) << "an empty text must be returned as null";
    std::string s = TextToString(text);
    MemFree(text);
    return s;
}

inline std::string TakeBytes(const ResultRecord& r) {
    uint8_t* block = r.AsByteSet();
    if (block) {
        EXPECT_GT(ByteSetLength(block), 0u) << "an empty byte set must be returned as null";
    }
    std::string s(reinterpret_cast<const char*>(ByteSetData(block)), ByteSetLength(block));
    MemFree(block);
    return s;
}

inline std::string CallText(CommandBody body, std::vector<ArgRecord> args) {
    return TakeText(Call(body, std::move(args)));
}

// Records of each kind.
inline ArgRecord Text(const std::string& s) {
    return ArgRecord::Text(s.c_str());
}
inline ArgRecord Int(int32_t v) {
    return ArgRecord::Int(v);
}
inline ArgRecord Double(double v) {
    return ArgRecord::Double(v);
}
inline ArgRecord Bool(bool v) {
    ArgRecord r;
    r.SetBool(v);
    return r;
}
inline ArgRecord Omitted() {
    return ArgRecord();
}

}  // namespace kesu::commands::test
