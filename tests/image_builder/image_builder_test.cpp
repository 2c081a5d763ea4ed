#include "image_builder/image_builder.h"

#include <gtest/gtest.h>

#include "tests/runtime/sample_image.h"

namespace kesu::tools {
namespace {

uint32_t WordAt(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

TEST(ImageBuilder, RoundTripReadsBackEveryField) {
    ProgramImage in = test::SampleImage();
    std::vector<uint8_t> bytes = BuildProgramImage(in);

    ProgramImage out;
    ReadResult rr = ReadProgramImage(bytes, out);
    ASSERT_TRUE(rr.ok) << rr.what << " at " << rr.offset;

    EXPECT_EQ(out.header.buildMode, 3u);
    EXPECT_EQ(out.header.buildNumber, 79780u);
    EXPECT_EQ(out.header.codeBase, 0x1000u);
    EXPECT_EQ(out.header.libraryCount, 3u);
    EXPECT_EQ(out.header.constLength, 8u);
    EXPECT_EQ(out.header.dllCount, 2u);
    EXPECT_EQ(out.libraries, in.libraries);
    EXPECT_EQ(out.constants, in.constants);
    EXPECT_EQ(out.dllFiles, in.dllFiles);
    EXPECT_EQ(out.dllNames, in.dllNames);

    ASSERT_EQ(out.windows.size(), in.windows.size());
    for (size_t w = 0; w < in.windows.size(); ++w) {
        const WindowTemplate& a = in.windows[w];
        const WindowTemplate& b = out.windows[w];
        EXPECT_EQ(b.windowId, a.windowId);
        EXPECT_EQ(b.wordA, kTemplateWordA);
        EXPECT_EQ(b.wordB, kTemplateWordB);
        EXPECT_EQ(b.name, a.name);
        ASSERT_EQ(b.records.size(), a.records.size());
        for (size_t r = 0; r < a.records.size(); ++r) {
            EXPECT_TRUE(b.records[r].SameStoredFields(a.records[r]))
                << "window " << w << " record " << r;
        }
        // The window's own data of each version reads back equal.
        units::WindowSettings data;
        const std::vector<uint8_t>& block = b.records[0].typeData;
        ASSERT_TRUE(
            data.Load(std::string_view(reinterpret_cast<const char*>(block.data()), block.size())));
        EXPECT_EQ(data, test::SampleWindowData(w == 0 ? 6 : static_cast<uint32_t>(w)));
    }

    // Reading is deterministic: building what was read gives the same bytes.
    EXPECT_EQ(BuildProgramImage(out), bytes);
}

TEST(ImageBuilder, LayoutFollowsTheFormat) {
    ImageLayout layout;
    ProgramImage in = test::SampleImage();
    std::vector<uint8_t> bytes = BuildProgramImage(in, layout);
    // Header words point at what the layout reports.
    EXPECT_EQ(WordAt(bytes, 9 * 4), layout.libraryList);
    EXPECT_EQ(WordAt(bytes, layout.libraryList), layout.libraries[0]);
    EXPECT_EQ(WordAt(bytes, 6 * 4), layout.templateStart);
    EXPECT_EQ(WordAt(bytes, layout.libraries[0]), kLibraryFormatNumber);
    EXPECT_EQ(WordAt(bytes, layout.libraries[0] + 21 * 4), 0x27u);
    EXPECT_EQ(WordAt(bytes, layout.libraries[0] + 25 * 4), 34u);
    // An unused type slot is 56 zero bytes.
    uint32_t types = WordAt(bytes, layout.libraries[0] + 22 * 4);
    for (size_t i = 0; i < 56; ++i) EXPECT_EQ(bytes[types + 56 + i], 0) << i;
    // The window index: 8 bytes per window, ids first.
    EXPECT_EQ(WordAt(bytes, layout.templateStart), 8 * in.windows.size());
    EXPECT_EQ(WordAt(bytes, layout.templateStart + 4), test::kSampleWindow);
}

TEST(ImageBuilder, PlainUnitRecordHasTheDocumentedSize) {
    UnitRecord r;
    r.type = 0x0001000B;
    // Six header words, two empty texts, nine words, an empty tag, three
    // words, the event count and five reserved words.
    EXPECT_EQ(BuildUnitRecord(r).size(), 24u + 2 + 36 + 1 + 12 + 4 + 20);
    r.typeData = {1, 2, 3};
    r.events = {{0, 1}};
    r.children = {0x16010001};
    EXPECT_EQ(BuildUnitRecord(r).size(), 99u + 3 + 8 + 4);
}

}  // namespace
}  // namespace kesu::tools
