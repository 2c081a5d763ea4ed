// GBK conversion and the edit text model that both backends share.

#include <gtest/gtest.h>

#include <random>

#include "platform/combo_items.h"
#include "platform/dialogs.h"
#include "platform/edit_text.h"
#include "platform/gbk.h"

namespace kesu::platform {
namespace {

TEST(Gbk, EveryByteStringSurvivesTheRoundTrip) {
    // All single bytes, all pairs with a high lead byte.
    for (int a = 0; a < 256; ++a) {
        std::string one(1, static_cast<char>(a));
        EXPECT_EQ(Utf16ToGbk(GbkToUtf16(one)), one) << a;
        for (int b = 0; b < 256; b += 3) {
            std::string two{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(Utf16ToGbk(GbkToUtf16(two)), two) << a << " " << b;
        }
    }
    EXPECT_EQ(GbkToUtf8(Gbk("串口调试助手")), "串口调试助手");
    EXPECT_EQ(Gbk("串口"), "\xB4\xAE\xBF\xDA");
}

TEST(Gbk, UnencodableAndMalformedInputBecomesQuestionMarks) {
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80z"), "a?z");  // beyond the BMP
    EXPECT_EQ(Utf8ToGbk("\xC0\xAF"), "??");             // overlong slash
    EXPECT_EQ(Utf8ToGbk("\xE4\xB8"), "??");             // cut short
    EXPECT_EQ(Utf16ToGbk(u"\xD800x"), "?x");            // lone surrogate
}

TEST(Gbk, FileNamesOfAnyBytesSurviveTheTextsAndReadAsTheirCharacters) {
    // Names GBK holds are plain GBK texts, and plain GBK texts are names.
    EXPECT_EQ(FsNameToGbk("/tmp/数据.txt"), Gbk("/tmp/数据.txt"));
    EXPECT_EQ(GbkToFsName(Gbk("/tmp/数据.txt")), "/tmp/数据.txt");
    // A character GBK lacks, and a byte that is no UTF-8, come back as they were; the
    // separators and the extension stay readable in the text.
    const std::string names[] = {"/tmp/Größe.txt", "/tmp/\xE9t\xE9.TXT", "/tmp/数据_한글.txt",
                                 "/x/\xEF\x9E\x80\xFF\xFF"
                                 "41"};
    for (const std::string& name : names) {
        std::string text = FsNameToGbk(name);
        EXPECT_EQ(GbkToFsName(text), name);
        EXPECT_EQ(text.find('?'), std::string::npos);
        EXPECT_EQ(text.substr(0, 3), name.substr(0, 3));
        // Each escape is a piece of its own for code that steps over GBK characters.
        for (std::size_t i = 0; i < text.size(); i += GbkUnitLength(text, i)) {
            if (text[i] == '\xFF') {
                EXPECT_EQ(GbkUnitLength(text, i + 1), 1u) << name;
            }
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string name(random() % 12, '\0');
        for (char& c : name) c = static_cast<char>(1 + random() % 255);
        ASSERT_EQ(GbkToFsName(FsNameToGbk(name)), name);
    }
}

// Applies each view edit to a mirror, as a widget would, and checks that
// the mirror always equals a fresh rendering of the bytes.
void CheckMirror(EditText& t, std::u16string& mirror, const EditText::ViewEdit& e) {
    mirror.replace(e.start, e.removed, e.inserted);
    ASSERT_EQ(mirror, EditText::Render(t.Bytes(), t.PairsCrLf(), t.WrapColumn()));
    ASSERT_EQ(t.ViewLength(), mirror.size());
}

// The soft breaks of a view, found from its rendering: a line break that
// stands for no CR LF pair in the bytes.
std::vector<std::size_t> SoftBreaksOf(const EditText& t) {
    std::vector<std::size_t> found;
    std::u16string view = t.View();
    std::size_t b = 0;
    for (std::size_t v = 0; v < view.size(); ++v) {
        if (view[v] == u'\n' && !(t.Bytes().compare(b, 2, "\r\n") == 0)) {
            found.push_back(b);
            continue;
        }
        b = t.ViewToByte(v + 1);
    }
    return found;
}

TEST(EditText, IncrementalEditsKeepTheViewInStep) {
    std::mt19937 rng(7);
    const std::string alphabet[] = {"\r",   "\n",   "\r\n",    "a",    "\x81",   "\xB4",
                                    "\xAE", "\xFF", Gbk("口"), "\x7C", "4F 0A ", "\x7F "};
    struct Case {
        bool pair;
        std::size_t wrap;
        int max_piece;
        std::size_t marks = EditText::kMarkSpacing;
    };
    // Narrow soft-break columns make blocks of a few characters, so breaks
    // meet every kind of edit: before and after line breaks, pairs and
    // double-byte characters.
    // Marks a few bytes apart are found again after every edit.
    for (Case c : {Case{true, 0, 4}, Case{false, 0, 4}, Case{true, 3, 6}, Case{true, 8, 12},
                   Case{true, 1, 3}, Case{true, 4, 6, 5}, Case{false, 0, 4, 3}}) {
        SCOPED_TRACE(::testing::Message()
                     << "pair " << c.pair << " wrap " << c.wrap << " marks " << c.marks);
        const bool pair = c.pair;
        EditText t(pair, c.wrap, c.marks);
        std::u16string mirror;
        for (int step = 0; step < 400; ++step) {
            std::string piece;
            int n = static_cast<int>(rng() % static_cast<unsigned>(c.max_piece));
            for (int i = 0; i < n; ++i) piece += alphabet[rng() % std::size(alphabet)];
            std::size_t size = t.Size();
            std::size_t a = size ? rng() % (size + 1) : 0;
            std::size_t b = a + (size > a ? rng() % (size - a + 1) : 0);
            if (step % 3 == 0) a = b = size;  // appends dominate in practice
            std::string expect = t.Bytes();
            std::size_t sa = t.Snap(a), sb = std::max(sa, t.Snap(b));
            expect.replace(sa, sb - sa, piece);
            // A view that lays its text out itself asks only where a change starts; half the
            // edits take that way, which counts runs of plain characters without rendering them.
            if (c.wrap == 0 && step % 2 == 1) {
                t.Replace(a, b, piece, false);
                mirror = EditText::Render(t.Bytes(), t.PairsCrLf(), 0);
                ASSERT_EQ(t.ViewLength(), mirror.size());
            } else {
                CheckMirror(t, mirror, t.Replace(a, b, piece));
            }
            ASSERT_EQ(t.Bytes(), expect);
            // Character starts read the same as in a text built in one go.
            EditText fresh(pair, c.wrap);
            fresh.Assign(t.Bytes());
            for (std::size_t k :
                 {t.Size() ? t.Size() - 1 : 0, t.Size() / 2, t.Size() / 5, std::size_t{0}}) {
                ASSERT_EQ(t.Snap(k), fresh.Snap(k)) << "step " << step << " at " << k;
                // Positions map the same way as in the text built in one go,
                // and back again.
                std::size_t v = t.ByteToView(k);
                ASSERT_EQ(v, fresh.ByteToView(k)) << "step " << step << " at " << k;
                ASSERT_EQ(t.ViewToByte(v), t.Snap(k));
            }
            ASSERT_EQ(t.SoftBreaks(), fresh.SoftBreaks()) << "step " << step;
            for (int probe = 0; probe < 3; ++probe) {
                const std::size_t v = rng() % (t.ViewLength() + 1);
                ASSERT_EQ(t.ViewToByte(v), fresh.ViewToByte(v)) << "step " << step << " at " << v;
            }
            if (step % 50 == 0) {
                ASSERT_EQ(t.SoftBreaks(), SoftBreaksOf(t));
            }
        }
    }
}

TEST(EditText, AChangeRendersOnlyTheCharactersAroundIt) {
    EditText t(true);
    std::string line = Gbk("收到数据") + " 41 42 43\r\n";
    std::string big;
    for (int i = 0; i < 5000; ++i) big += line;
    t.Assign(big);
    const std::size_t before = t.ViewLength();
    // An append renders again at most the last character before it (a CR
    // that may meet an LF), whatever the size of the text.
    EditText::ViewEdit e = t.Replace(t.Size(), t.Size(), "\r");
    EXPECT_GE(e.start + 1, before);
    EXPECT_LE(e.removed, 1u);
    const std::size_t with_cr = t.ViewLength();
    e = t.Replace(t.Size(), t.Size(), "\nX");
    EXPECT_EQ(e.start, with_cr - 1);  // the lone CR becomes part of a line break
    EXPECT_EQ(e.removed, 1u);
    EXPECT_EQ(e.inserted, u"\nX");
    // A change in the middle stops at the next line break.
    std::size_t mid = line.size() * 2500 + 2;
    e = t.Replace(mid, mid + 2, "ab");
    EXPECT_LE(e.removed, line.size());
    EXPECT_LE(e.inserted.size(), line.size());
}

TEST(EditText, PositionsMapBothWaysAcrossLineBreaksAndPairs) {
    EditText t(true);
    t.Assign("a\r\n" + Gbk("中") + "\rb");
    // view: a, break, 中, CR picture, b
    EXPECT_EQ(t.ViewLength(), 5u);
    EXPECT_EQ(t.ByteToView(3), 2u);
    EXPECT_EQ(t.ByteToView(4), 2u);  // inside 中: snapped back
    EXPECT_EQ(t.ViewToByte(3), 5u);
    EXPECT_EQ(t.ViewToByte(99), t.Size());
    EXPECT_EQ(t.FromView(u"x\ny\u240D"), "x\r\ny\r");
    EXPECT_EQ(EditText::FitLength(Gbk("中文"), 3), 2u);
    // The trail byte of 0x81 0x62 is a 'b' that must not change case.
    EXPECT_EQ(EditText::ApplyCase(std::string("a\x81"
                                              "b") +
                                      "c",
                                  false, true),
              "A\x81"
              "bC");
}

TEST(Dialogs, FlagsFiltersAndDefaultExtension) {
    BoxLayout yn = DecodeBoxFlags(mb::kYesNoCancel | mb::kDefButton2 | mb::kIconWarning);
    EXPECT_EQ(yn.buttons, (std::vector<Answer>{Answer::Yes, Answer::No, Answer::Cancel}));
    EXPECT_EQ(yn.default_button, Answer::No);
    EXPECT_EQ(yn.escape_answer, Answer::Cancel);
    EXPECT_EQ(yn.icon, BoxIcon::Warning);
    EXPECT_EQ(DecodeBoxFlags(mb::kYesNo | mb::kDefButton3).default_button, Answer::Yes);
    EXPECT_EQ(DecodeBoxFlags(0xF).buttons, (std::vector<Answer>{Answer::Ok}));

    // 0x7C, the bar, is also a trail byte: "缁" is 0xE7 0x7C.
    std::string tricky = "\xE7\x7C";
    auto f = ParseFilterList(tricky + "|*.a|" + Gbk("所有文件(*.*)") + "|*.*||");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].description, tricky);
    EXPECT_EQ(f[1].patterns, "*.*");
    EXPECT_TRUE(ParseFilterList("   ").empty());

    EXPECT_EQ(WithDefaultExtension("/d.x/name", "TXT"), "/d.x/name.TXT");
    EXPECT_EQ(WithDefaultExtension("/d/name.log", "TXT"), "/d/name.log");
    EXPECT_EQ(WithDefaultExtension("/d/", "TXT"), "/d/");
}

TEST(ComboItems, SortedPlacementKeepsTheSelectionOnItsItem) {
    ComboItems items(true);
    items.Add("b");
    items.SetCurrent(0);
    EXPECT_EQ(items.Add("A"), 0);
    EXPECT_EQ(items.Current(), 1);  // still "b"
    EXPECT_EQ(items.Add("b"), 2);   // after its equal
    EXPECT_EQ(items.Text(5), "");
}

}  // namespace
}  // namespace kesu::platform
