// Radix conversion and hex text parsing, through the program's own libraries.
#include "app/hex_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/commands.h"
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
    RuntimeState runtime_;
    ProgramImage image_;
};

// The parser as it was first written: every token through the radix conversion to decimal, read
// back as a byte. The linear parser must give the same bytes on every input.
std::string ReferenceParse(const std::string& text) {
    std::string bytes;
    for (OwnedText& token : SplitText(text.c_str(), " ")) {
        OwnedText decimal = ConvertRadix(token, 16, 10);
        const std::string_view digits = decimal.view();
        const bool number =
            !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
        const char* tail = decimal.c_str();
        if (number && digits.size() > 8) tail += digits.size() - 8;
        bytes.push_back(static_cast<char>(ToByte(tail)));
    }
    return bytes;
}

// Pieces that random hex texts are made of: digits in every form the conversion accepts, and
// everything that trips a parser up (two-byte characters, a lead byte before a blank, line
// breaks, letters beyond F, full-width forms that are no digits).
const std::vector<std::string> kPieces = {
    "0",        "7",        "9",        "a",        "F",        "c",        "E",
    "\xA3\xB0", "\xA3\xB9", "\xA3\xC1", "\xA3\xC6", "\xA3\xE1", "\xA3\xE6",  // ０９ＡＦａｆ
    " ",        " ",        " ",        "  ",       "G",        "x",        ",",
    "\t",       "\r\n",     "\xA3\xC7", "\xA3\xA1", "\xA1\xA1",  // Ｇ！, ideographic blank
    "\xD6\xD0", "\xB0 ",    "\xA3",     "\x81\x30"};

std::string RandomHexText(std::mt19937& random) {
    std::string text;
    const int pieces = static_cast<int>(random() % 40);
    for (int i = 0; i < pieces; ++i) {
        // Mostly digits, so that many tokens are numbers of varied length.
        const size_t pick = random() % 3 == 0 ? random() % kPieces.size() : random() % 13;
        text += kPieces[pick];
        if (random() % 50 == 0)
            text += std::string(random() % 60, "0123456789abcdef"[random() % 16]);
    }
    if (random() % 8 == 0 && !text.empty()) text.pop_back();  // may leave a broken character
    return text;
}

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

TEST_F(HexText, LinearParserGivesTheConversionsBytesOnRandomTexts) {
    std::mt19937 random(20240514);
    for (int i = 0; i < 400; ++i) {
        const std::string text = RandomHexText(random);
        ASSERT_EQ(Parse(text), ReferenceParse(text)) << "text: " << text;
    }
    // Huge tokens of 100,000 bytes. A valid one would take the conversion hours: its byte is
    // checked against the value modulo 256 accumulated digit by digit as the token is made. One
    // of 20,000 bytes that fails the digit check only at its end costs the conversion a linear
    // scan, so the reference still serves (a lead byte at the end takes the blank after it into the
    // token).
    const std::pair<const char*, unsigned> digits[] = {
        {"0", 0},        {"7", 7},         {"a", 10},       {"F", 15},
        {"\xA3\xB9", 9}, {"\xA3\xC1", 10}, {"\xA3\xE6", 15}};
    std::string huge;
    unsigned value = 0;
    while (huge.size() < 100000) {
        const auto& [piece, digit] = digits[random() % std::size(digits)];
        huge += piece;
        value = (value * 16 + digit) % 256;
    }
    for (const char* bad : {"G", "\xA3\xC7", "\xD6\xD0", "\xA3"}) {
        const std::string text = "12 " + huge.substr(0, 20000) + std::string(bad) + " 34";
        EXPECT_EQ(Parse(text), ReferenceParse(text));
    }
    EXPECT_EQ(Parse(" " + huge + " 5"), std::string("\0", 1) + static_cast<char>(value) + "\x05");
}

}  // namespace
}  // namespace kesu::app
