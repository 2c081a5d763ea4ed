#include "runtime/image.h"

#include <gtest/gtest.h>

#include <random>

#include "image_builder/image_builder.h"
#include "runtime/errors.h"
#include "tests/runtime/runtime_test_support.h"
#include "tests/runtime/sample_image.h"

namespace kesu {
namespace {

using tools::BuildProgramImage;
using tools::BuildWindowTemplates;

void PutWord(std::vector<uint8_t>& b, size_t at, uint32_t w) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(w >> (8 * i));
}

// Whatever the reader says, everything it produced must be usable: walking
// the result touches every byte it claims to hold (ASan checks the rest).
size_t Touch(const ProgramImage& image) {
    size_t sum = image.constants.size();
    for (const auto& lib : image.libraries) {
        sum += lib.identifier.size() + lib.name.size();
        for (const auto& t : lib.types) sum += t.properties.size() + t.englishName.size();
    }
    for (const auto& w : image.windows) {
        for (const auto& r : w.records) {
            sum += r.name.size() + r.children.size() + r.events.size() + r.typeData.size() +
                   r.mousePointer.size();
            units::WindowSettings d;
            const std::string_view data(reinterpret_cast<const char*>(r.typeData.data()),
                                        r.typeData.size());
            if (r.type == kUnitWindow && d.Load(data)) sum += d.title.size();
        }
    }
    return sum;
}

TEST(ImageReader, EveryTruncationOfTheTemplateBlockFailsCleanly) {
    std::vector<uint8_t> block = BuildWindowTemplates(test::SampleImage().windows);
    std::vector<WindowTemplate> out;
    ASSERT_TRUE(ReadWindowTemplates(block, out).ok);
    for (size_t n = 0; n < block.size(); ++n) {
        // A fresh copy of exactly n bytes, so ASan sees any read past it.
        std::vector<uint8_t> cut(block.begin(), block.begin() + static_cast<long>(n));
        ReadResult rr = ReadWindowTemplates(cut, out);
        EXPECT_FALSE(rr.ok) << "truncated to " << n;
    }
}

TEST(ImageReader, EveryTruncationOfTheWholeImageEndsCleanly) {
    std::vector<uint8_t> bytes = BuildProgramImage(test::SampleImage());
    size_t failures = 0;
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        ProgramImage out;
        if (!ReadProgramImage(cut, out).ok) ++failures;
        Touch(out);
    }
    // The last byte is the terminator of the last DLL name, so every cut
    // loses something the image refers to.
    EXPECT_EQ(failures, bytes.size());
}

TEST(ImageReader, SeededRandomCorruptionsEndInSuccessOrFailure) {
    const std::vector<uint8_t> good = BuildProgramImage(test::SampleImage());
    std::mt19937 rng(20261207);
    const uint32_t nasty[] = {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFF, 8, 0x10000};
    int ok = 0, failed = 0;
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> bytes = good;
        int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits; ++e) {
            size_t at = rng() % bytes.size();
            if (rng() % 2 == 0 && at + 4 <= bytes.size()) {
                // Aligned word fields are where counts and offsets live.
                PutWord(bytes, at & ~size_t{3},
                        nasty[rng() % 8] ^ (rng() % 3 == 0 ? rng() % 64 : 0));
            } else {
                bytes[at] = static_cast<uint8_t>(rng());
            }
        }
        ProgramImage out;
        (ReadProgramImage(bytes, out).ok ? ok : failed)++;
        Touch(out);
    }
    // Both outcomes occur: the corruptions reach counts as well as payload.
    EXPECT_GT(ok, 100);
    EXPECT_GT(failed, 100);
}

TEST(ImageReader, CountsAndOffsetsOutsideTheBlockAreRejected) {
    std::vector<WindowTemplate> windows = {test::SampleWindow(test::kSampleWindow, 6)};
    std::vector<uint8_t> block = BuildWindowTemplates(windows);
    std::vector<WindowTemplate> out;
    // Index size word: not a multiple of 8, negative, or larger than the block.
    for (uint32_t bad : {4u, 0xFFFFFFF8u, 0x7FFFFFF8u}) {
        auto b = block;
        PutWord(b, 0, bad);
        EXPECT_FALSE(ReadWindowTemplates(b, out).ok) << bad;
    }
    // The record count sits after index (12 bytes), two words and two empty
    // counted texts.
    const size_t countAt = 12 + 8 + 8;
    for (uint32_t bad : {0xFFFFFFFFu, 0x10000000u}) {
        auto b = block;
        PutWord(b, countAt, bad);
        EXPECT_FALSE(ReadWindowTemplates(b, out).ok) << bad;
    }
    // A record offset beyond the records area.
    const size_t records = windows[0].records.size();
    auto b = block;
    PutWord(b, countAt + 8 + 4 * records, 0x00FFFFFF);
    EXPECT_FALSE(ReadWindowTemplates(b, out).ok);

    // An empty index loads no window.
    std::vector<uint8_t> empty = {0, 0, 0, 0};
    ASSERT_TRUE(ReadWindowTemplates(empty, out).ok);
    EXPECT_TRUE(out.empty());
}

TEST(ImageReader, UnitRecordFieldsAreBoundsChecked) {
    UnitRecord r = test::SampleUnit(test::kEdit, kUnitEditBox, "x");
    std::vector<uint8_t> bytes = tools::BuildUnitRecord(r);
    UnitRecord out;
    ASSERT_TRUE(ReadUnitRecord(bytes, out).ok);
    // The child count follows 6 words, "x\0", "\0" and 8 words.
    const size_t childCount = 24 + 3 + 32;
    for (uint32_t bad : {0xFFFFFFFFu, 0x40000000u, 1000u}) {
        auto b = bytes;
        PutWord(b, childCount, bad);
        EXPECT_FALSE(ReadUnitRecord(b, out).ok) << bad;
    }
    // A negative mouse-pointer length.
    auto b = bytes;
    PutWord(b, childCount + 4, 0xFFFFFFFF);
    EXPECT_FALSE(ReadUnitRecord(b, out).ok);
    // A name without terminator inside the record.
    std::vector<uint8_t> noTerminator(bytes.begin(), bytes.begin() + 25);
    EXPECT_FALSE(ReadUnitRecord(noTerminator, out).ok);
}

TEST(ImageReader, CountedTextsOfZeroOrLessAreEmpty) {
    std::vector<uint8_t> b = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 2, 0, 0, 0, 'h', 'i'};
    ByteReader r(b);
    EXPECT_EQ(r.CountedText(), "");
    EXPECT_EQ(r.CountedText(), "");
    EXPECT_EQ(r.CountedText(), "hi");
    EXPECT_TRUE(r.ok());
    ByteReader blocks(b);
    blocks.CountedBlock();
    EXPECT_FALSE(blocks.ok());  // a block may not have a negative length
}

TEST(ImageReader, EventBindingsResolveAgainstTheCodeBase) {
    std::vector<WindowTemplate> windows = {test::SampleWindow(test::kSampleWindow, 6)};
    ResolveEventBindings(windows, 0x1000);
    const UnitRecord& self = windows[0].records[0];
    EXPECT_TRUE(self.events[0].bound);  // offset 0 is the code base itself
    EXPECT_EQ(self.events[0].handler, 0x1000u);
    EXPECT_FALSE(self.events[1].bound);  // -1: no handler
    EXPECT_EQ(self.events[1].handler, 0u);
    EXPECT_EQ(self.events[2].handler, 0x1007u);
    const UnitRecord* menu = windows[0].FindRecord(test::kMenu);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->IsMenuItem());
    EXPECT_EQ(menu->menu.click.handler, 0x1015u);
}

TEST(ImageReader, IdsAreFoundOnlyWhenSearchable) {
    WindowTemplate w = test::SampleWindow(test::kSampleWindow, 6);
    EXPECT_EQ(w.FindRecord(0), &w.records[0]);
    EXPECT_EQ(w.FindRecord(kWindowRecordId), &w.records[0]);
    EXPECT_EQ(w.FindRecord(test::kEdit)->name, "edit");
    EXPECT_EQ(w.FindRecord(0x16000000), nullptr);  // low 24 bits zero
    EXPECT_EQ(w.FindRecord(0x10010002), nullptr);  // bits 24 to 27 zero
    EXPECT_TRUE(IsMenuItemId(0x26010005));
    EXPECT_FALSE(IsMenuItemId(0x16010005));
    ProgramImage image = test::SampleImage();
    EXPECT_NE(image.FindWindow(0x52010001), nullptr);
    EXPECT_EQ(image.FindWindow(0x52000000), nullptr);
    EXPECT_EQ(image.FindType(kUnitEditBox)->englishName, "EditBox");
    EXPECT_EQ(image.FindType(kUnitLabel), nullptr);  // an unused slot
    EXPECT_EQ(image.FindType(0x00040001), nullptr);  // no fourth library
}

TEST(ImageReader, AFaultRaisesTheTemplateRuntimeError) {
    test::RuntimeSandbox sandbox;
    std::vector<uint8_t> bytes = BuildProgramImage(test::SampleImage());
    bytes.resize(bytes.size() / 2);
    ProgramImage out;
    EXPECT_EQ(test::ExitCodeOf([&] { ReadProgramImageOrFail(bytes, out); }), -1);
    EXPECT_EQ(test::LastBoxText(), FormatRuntimeErrorText(errmsg::kTemplateLoad, 0));
}

}  // namespace
}  // namespace kesu
