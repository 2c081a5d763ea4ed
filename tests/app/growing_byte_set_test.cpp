#include "app/growing_byte_set.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/runtime_state.h"
#include "runtime/value.h"

namespace kesu::app {
namespace {

std::string BytesOf(const uint8_t* byteSet) {
    return std::string(reinterpret_cast<const char*>(ByteSetData(byteSet)), ByteSetLength(byteSet));
}

TEST(GrowingByteSet, EmptyIsNullAndAppendsFormAValidByteSet) {
    RuntimeState runtime;  // the byte sets are the runtime\'s memory
    GrowingByteSet set;
    EXPECT_EQ(set.Value(), nullptr);
    set.Append(uint8_t{'A'});
    set.Append("BC");
    set.Append(uint8_t{0});
    set.Append("D");
    const uint8_t* value = set.Value();
    ASSERT_NE(value, nullptr);
    int32_t header[2];
    std::memcpy(header, value, sizeof header);
    EXPECT_EQ(header[0], 1);
    EXPECT_EQ(header[1], 5);
    EXPECT_EQ(BytesOf(value), std::string("ABC\0D", 5));

    set.Clear();
    EXPECT_EQ(set.Value(), nullptr);
    EXPECT_TRUE(set.View().empty());
    set.Append("xyz");
    EXPECT_EQ(BytesOf(set.Value()), "xyz");
}

TEST(GrowingByteSet, KeepLastSlidesAWindowOverALongStream) {
    RuntimeState runtime;  // the byte sets are the runtime\'s memory
    GrowingByteSet window;
    std::string stream;
    for (int i = 0; i < 5000; ++i) {
        const auto b = static_cast<uint8_t>(i * 7 + 3);
        window.Append(b);
        stream.push_back(static_cast<char>(b));
        window.KeepLast(9);
        const std::string expected = stream.substr(stream.size() > 9 ? stream.size() - 9 : 0);
        ASSERT_EQ(window.View(), expected) << "after byte " << i;
    }
    EXPECT_EQ(BytesOf(window.Value()), stream.substr(stream.size() - 9));
    window.KeepLast(0);
    EXPECT_EQ(window.Value(), nullptr);
    window.KeepLast(4);  // more than it holds: nothing changes
    EXPECT_EQ(window.Length(), 0u);
}

// Random appends, windows and clears against a plain string as the model.
TEST(GrowingByteSet, MatchesAStringUnderRandomUse) {
    RuntimeState runtime;  // the byte sets are the runtime\'s memory
    std::mt19937 rng(12345);
    GrowingByteSet set;
    std::string model;
    for (int step = 0; step < 20000; ++step) {
        const int op = static_cast<int>(rng() % 10);
        if (op < 6) {
            std::string piece(rng() % 40, '\0');
            for (char& c : piece) c = static_cast<char>(rng());
            set.Append(piece);
            model += piece;
        } else if (op < 9) {
            const size_t keep = rng() % 100;
            set.KeepLast(keep);
            if (keep < model.size()) model.erase(0, model.size() - keep);
        } else {
            set.Clear();
            model.clear();
        }
        ASSERT_EQ(set.View(), model);
        ASSERT_EQ(set.Length(), model.size());
    }
    EXPECT_EQ(BytesOf(set.Value()), model);
    set.Release();
    EXPECT_EQ(set.Value(), nullptr);
}

}  // namespace
}  // namespace kesu::app
