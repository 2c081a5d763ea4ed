#include "units/edit_box/edit_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace kesu::units {
namespace {

std::string typed(std::int32_t mode, std::string_view keys) {
    std::string out;
    for (char c : keys) {
        if (AdmitsTypedChar(mode, static_cast<unsigned char>(c))) out.push_back(c);
    }
    return out;
}

TEST(EditRules, TypedCharacterFilterPerMode) {
    EXPECT_EQ(typed(5, "2a9"), "29");
    EXPECT_EQ(typed(5, "-1.5"), "15");
    for (int mode : {3, 6, 7, 8}) EXPECT_EQ(typed(mode, "-1.5x"), "-15") << mode;
    for (int mode : {4, 9, 10}) EXPECT_EQ(typed(mode, "-1.5e"), "-1.5") << mode;
    for (int mode : {0, 1, 2, 11}) EXPECT_EQ(typed(mode, "a-1.5"), "a-1.5") << mode;
    // Editing keys (backspace, return) pass in every mode.
    EXPECT_EQ(typed(5, "\b\r"), "\b\r");
    // Double-byte characters never enter a number box.
    EXPECT_EQ(typed(7,
                    "\xD6\xD0"
                    "1"),
              "1");
}

TEST(EditRules, IntegerModesClampAndDropZero) {
    EXPECT_EQ(NormaliseForMode(5, "300"), "255");
    EXPECT_EQ(NormaliseForMode(5, "0"), "");
    EXPECT_EQ(NormaliseForMode(5, "-4"), "");
    EXPECT_EQ(NormaliseForMode(5, "abc"), "");
    EXPECT_EQ(NormaliseForMode(5, "42"), "42");
    EXPECT_EQ(NormaliseForMode(6, "40000"), "32767");
    EXPECT_EQ(NormaliseForMode(6, "-40000"), "-32768");
    EXPECT_EQ(NormaliseForMode(7, "99999999999"), "2147483647");
    EXPECT_EQ(NormaliseForMode(7, "-2147483648"), "-2147483648");
    EXPECT_EQ(NormaliseForMode(7, "12.9"), "12");
    EXPECT_EQ(NormaliseForMode(7, "007"), "7");
    // A long integer keeps all its digits, which a double could not.
    EXPECT_EQ(NormaliseForMode(8, "9007199254740993"), "9007199254740993");
    EXPECT_EQ(NormaliseForMode(8, "-0"), "");
}

TEST(EditRules, RealModesRewriteInCanonicalForm) {
    EXPECT_EQ(NormaliseForMode(9, "1.50"), "1.5");
    EXPECT_EQ(NormaliseForMode(9, "3.14159265"), "3.14159");
    EXPECT_EQ(NormaliseForMode(10, "3.14159265358979"), "3.14159265359");
    EXPECT_EQ(NormaliseForMode(10, "0.000"), "");
    EXPECT_EQ(NormaliseForMode(10, "-"), "");
}

TEST(EditRules, DateTimeModeParsesOrEmpties) {
    // 2024-03-05 10:20 written back in the calendar form.
    EXPECT_EQ(NormaliseForMode(11, "2024-03-05 10:20"),
              "2024\xC4\xEA"
              "3\xD4\xC2"
              "5\xC8\xD5"
              "10\xCA\xB1"
              "20\xB7\xD6");
    EXPECT_EQ(NormaliseForMode(11, "2024/3/5"),
              "2024\xC4\xEA"
              "3\xD4\xC2"
              "5\xC8\xD5");
    EXPECT_EQ(NormaliseForMode(11,
                               "2024\xC4\xEA"
                               "3\xD4\xC2"
                               "5\xC8\xD5"),
              "2024\xC4\xEA"
              "3\xD4\xC2"
              "5\xC8\xD5");
    EXPECT_EQ(NormaliseForMode(11, "hello"), "");
    EXPECT_EQ(NormaliseForMode(11, "2024-04-31"), "");
    EXPECT_EQ(NormaliseForMode(11, "1899-12-30"), "");  // the zero date-time
}

TEST(EditRules, OtherModesKeepTheirText) {
    for (int mode : {0, 1, 2, 3, 4}) EXPECT_EQ(NormaliseForMode(mode, " 0x "), " 0x ");
}

TEST(EditRules, LetterCaseLeavesDoubleByteCharactersIntact) {
    // 0xB0 0x41 is one character whose trail byte happens to be 'A'.
    const std::string mixed =
        "aB\xB0"
        "A"
        "c";
    EXPECT_EQ(ApplyLetterCase(1, mixed),
              "ab\xB0"
              "A"
              "c");
    EXPECT_EQ(ApplyLetterCase(2,
                              "\xB0"
                              "az"),
              "\xB0"
              "aZ");
    EXPECT_EQ(ApplyLetterCase(0, mixed), mixed);
}

TEST(EditRules, FitToRoomNeverSplitsACharacter) {
    const std::string text =
        "ab\xD6\xD0"
        "c";
    EXPECT_EQ(FitToRoom(text, 10), text);
    EXPECT_EQ(FitToRoom(text, 4), "ab\xD6\xD0");
    EXPECT_EQ(FitToRoom(text, 3), "ab");
    EXPECT_EQ(FitToRoom(text, 0), "");
    EXPECT_EQ(EffectiveTextLimit(0), kDefaultTextLimit);
    EXPECT_EQ(EffectiveTextLimit(5), 5u);
}

}  // namespace
}  // namespace kesu::units
