// Radix conversion and hex text parsing, through the program's own libraries.
#include "app/hex_text.h"

#include <gtest/gtest.h>

#include <string>

#include "app/program.h"
#include "runtime/image.h"
#include "runtime/library.h"
#include "runtime/value.h"

namespace kesu::app {
namespace {

class HexText : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallAssistant();
        ASSERT_TRUE(ReadProgramImage(MainWindowImage(), image_));
        ASSERT_TRUE(StartLibraries(image_.libraries));
    }
    void TearDown() override { StopLibraries(); }

    // ConvertRadix on a copy of `text`; `normalised` receives what the caller's variable holds.
    std::string Convert(const std::string& text, int from, int to,
                        std::string* normalised = nullptr) {
        OwnedText variable(CopyText(text.c_str()));
        OwnedText result = ConvertRadix(variable, from, to);
        if (normalised) *normalised = std::string(variable.view());
        return std::string(result.view());
    }
    std::string Parse(const std::string& text) {
        return std::string(ParseHexText(text.c_str()).view());
    }

  private:
    ProgramImage image_;
};

TEST_F(HexText, ConvertsBetweenBasesAndNormalisesTheCallersText) {
    EXPECT_EQ(Convert("FF", 16, 10), "255");
    std::string normalised;
    EXPECT_EQ(Convert("1ff", 16, 10, &normalised), "511");
    EXPECT_EQ(normalised, "1FF");
    EXPECT_EQ(Convert("00FF", 16, 10), "255");
    EXPECT_EQ(Convert("255", 10, 16), "FF");
    EXPECT_EQ(Convert("0", 16, 10), "0");
    EXPECT_EQ(Convert("", 16, 10), "0");
    EXPECT_EQ(Convert("zz", 36, 2), "10100001111");
    EXPECT_EQ(Convert("101", 2, 36), "5");
    // Equal bases give the normalised text back, leading zeros and all.
    EXPECT_EQ(Convert("00ab", 16, 16), "00AB");
    // Full-width digits and letters are accepted.
    EXPECT_EQ(Convert("\xA3\xC6\xA3\xC6", 16, 10), "255");  // ＦＦ
}

TEST_F(HexText, LongNumbersConvertExactly) {
    const std::string forty(40, 'F');  // 16^40 - 1
    EXPECT_EQ(Convert(forty, 16, 10), "1461501637330902918203684832716283019655932542975");
    EXPECT_EQ(Convert("1461501637330902918203684832716283019655932542975", 10, 16), forty);
}

TEST_F(HexText, BadArgumentsGiveTheErrorTexts) {
    std::string normalised;
    EXPECT_EQ(Convert("ff", 16, 37, &normalised), "参数错误-进制只能在2-36之间");
    EXPECT_EQ(normalised, "ff");  // untouched when the bases are refused
    EXPECT_EQ(Convert("1", 1, 10), "参数错误-进制只能在2-36之间");
    EXPECT_EQ(Convert("xy", 16, 10), "参数错误-XY不是一个有效的一十六进制数！");
    EXPECT_EQ(Convert("12", 2, 10), "参数错误-12不是一个有效的二进制数！");
    EXPECT_EQ(Convert("1 2", 10, 16), "参数错误-1 2不是一个有效的一十进制数！");
    EXPECT_EQ(Convert("9!", 36, 10), "参数错误-9!不是一个有效的三十六进制数！");
}

TEST_F(HexText, ParsesBlankSeparatedTokensIntoBytes) {
    EXPECT_EQ(Parse("02 2e 41 01 01 6f 10 03 10 "),
              std::string("\x02\x2E\x41\x01\x01\x6F\x10\x03\x10", 9));
    EXPECT_EQ(Parse("10 10 02 2F 00 02 04 00 29 10 03"),
              std::string("\x10\x10\x02\x2F\x00\x02\x04\x00\x29\x10\x03", 11));
    EXPECT_EQ(Parse(""), "");
    EXPECT_EQ(Parse("7"), "\x07");
    // Two blanks make an empty token (0), a leading blank too; a trailing blank adds nothing.
    EXPECT_EQ(Parse("01  02"), std::string("\x01\x00\x02", 3));
    EXPECT_EQ(Parse(" 01 "), std::string("\x00\x01", 2));
    EXPECT_EQ(Parse("   "), std::string(3, '\0'));
    // The value modulo 256: the last two digits.
    EXPECT_EQ(Parse("1FF 100 ABCD 0102"), std::string("\xFF\x00\xCD\x02", 4));
    EXPECT_EQ(Parse(std::string(38, '1') + "AB"), "\xAB");
    // No hexadecimal number: 0. Line breaks and tabs are no separators.
    EXPECT_EQ(Parse("0x12 G1 12, 12\r\n34 \t5"), std::string(5, '\0'));
    EXPECT_EQ(Parse("\xA3\xE6\xA3\xE6"), "\xFF");  // full-width ｆｆ
}

}  // namespace
}  // namespace kesu::app
