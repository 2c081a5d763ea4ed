#include "app/hex_text.h"

#include <string>
#include <string_view>

#include "app/commands.h"
#include "libs/bignum/bignum_library.h"
#include "runtime/sysfunc.h"

namespace kesu::app {

const char* const kRadixBaseError = "参数错误-进制只能在2-36之间";

namespace {

constexpr const char* kDigitAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The alphabet character of a digit value; the value always lies below the target base here.
char DigitChar(int32_t value) {
    return value >= 0 && value < 36 ? kDigitAlphabet[value] : '0';
}

// One `UnlNum` variable: a cell from MemAlloc holding the address of a number. Created holding
// 0, released (number and cell) when it goes out of scope. Results of the arithmetic methods
// arrive as new cells, which Adopt takes over after releasing the number held so far.
class BigNumber {
  public:
    BigNumber() : cell_(static_cast<void**>(MemAlloc(sizeof(void*)))) {
        *cell_ = nullptr;
        ArgRecord arg = Cell();
        CallLibraryCommand(bignum::Create, 1, &arg);
    }
    explicit BigNumber(int32_t value) : BigNumber() { Set(value); }
    ~BigNumber() { Release(); }
    BigNumber(const BigNumber&) = delete;
    BigNumber& operator=(const BigNumber&) = delete;

    void Set(int32_t value) {
        ArgRecord args[2] = {Cell(), ArgRecord::Int(value)};
        CallLibraryCommand(bignum::SetValue, 2, args);
    }
    ArgRecord Cell() const {
        ArgRecord r;
        r.SetPtr(cell_, kTypeUnlNum);
        return r;
    }

    // this := op(a, b) for the methods that return a new cell.
    void Assign(CommandBody op, const BigNumber& a, const BigNumber& b) {
        ArgRecord args[2] = {a.Cell(), b.Cell()};
        Adopt(CallLibraryCommand(op, 2, args));
    }
    void AssignQuotient(const BigNumber& a, const BigNumber& b, int32_t places) {
        ArgRecord args[3] = {a.Cell(), b.Cell(), ArgRecord::Int(places)};
        Adopt(CallLibraryCommand(bignum::DivideCommand, 3, args));
    }
    void AssignIntegerPart(const BigNumber& a) {
        ArgRecord arg = a.Cell();
        Adopt(CallLibraryCommand(bignum::IntegerPartCommand, 1, &arg));
    }

    bool IsGreaterThan(const BigNumber& other) const {
        ArgRecord args[2] = {Cell(), other.Cell()};
        return CallLibraryCommand(bignum::IsGreater, 2, args).AsBool();
    }
    int32_t ToInteger() const {
        ArgRecord arg = Cell();
        return CallLibraryCommand(bignum::ToInteger, 1, &arg).AsInt();
    }

  private:
    void Release() {
        if (cell_ == nullptr) return;
        ArgRecord arg = Cell();
        CallLibraryCommand(bignum::Destroy, 1, &arg);
        MemFree(cell_);
        cell_ = nullptr;
    }
    void Adopt(const ResultRecord& result) {
        Release();
        cell_ = static_cast<void**>(result.AsPtr());
        if (cell_ == nullptr) {
            // A result without a cell behaves as the number 0.
            cell_ = static_cast<void**>(MemAlloc(sizeof(void*)));
            *cell_ = nullptr;
            ArgRecord arg = Cell();
            CallLibraryCommand(bignum::Create, 1, &arg);
        }
    }

    void** cell_;
};

// The value of a half-width hexadecimal digit of either case, or -1 for any other byte.
int HexDigitValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The base in Chinese numerals: the amount text of the number without its last two characters
// (元 and 整), so 16 reads 一十六.
std::string BaseInNumerals(int32_t base) {
    OwnedText amount = ToAmountText(base, true);
    const int32_t length = TextLength(amount.c_str());
    OwnedText numeral = LeftText(amount.c_str(), length - 4);
    return std::string(numeral.view());
}

}  // namespace

OwnedText ConvertRadix(OwnedText& text, int32_t fromBase, int32_t toBase) {
    if (fromBase < 2 || fromBase > 36 || toBase < 2 || toBase > 36) {
        return OwnedText(CopyText(kRadixBaseError));
    }
    {
        OwnedText half = ToHalfWidth(text.c_str());
        text = ToUpper(half.c_str());
    }

    OwnedText validDigits = LeftText(kDigitAlphabet, fromBase);
    const int32_t length = TextLength(text.c_str());
    for (int32_t i = 1; i <= length; ++i) {
        OwnedText ch = MidText(text.c_str(), i, 1);
        if (FindText(validDigits.c_str(), ch.c_str()) == -1) {
            std::string error = "参数错误-";
            error += text.view();
            error += "不是一个有效的";
            error += BaseInNumerals(fromBase);
            error += "进制数！";
            return OwnedText(MakeText(error));
        }
    }
    if (fromBase == toBase) return OwnedText(CopyText(text.c_str()));

    const BigNumber base(fromBase);
    BigNumber value(0);
    for (int32_t i = 1; i <= length; ++i) {
        BigNumber weight(1);
        for (int32_t k = 0; k < length - i; ++k)
            weight.Assign(bignum::MultiplyCommand, weight, base);
        OwnedText ch = MidText(text.c_str(), i, 1);
        const BigNumber digit(FindText(kDigitAlphabet, ch.c_str()) - 1);
        BigNumber term;
        term.Assign(bignum::MultiplyCommand, digit, weight);
        value.Assign(bignum::AddCommand, value, term);
    }

    const BigNumber targetBase(toBase);
    const BigNumber highestDigit(toBase - 1);
    std::string result;
    while (value.IsGreaterThan(highestDigit)) {
        BigNumber remainder;
        remainder.Assign(bignum::ModCommand, value, targetBase);
        result.insert(result.begin(), DigitChar(remainder.ToInteger()));
        BigNumber quotient;
        quotient.AssignQuotient(value, targetBase, 10);
        value.AssignIntegerPart(quotient);
    }
    result.insert(result.begin(), DigitChar(value.ToInteger()));
    return OwnedText(MakeText(result));
}

OwnedBytes ParseHexText(const char* text) {
    // Each token's byte is what ConvertRadix(token, 16, 10) read back by ToByte gives: the
    // token's value modulo 256 when every character is a hexadecimal digit after the token is
    // made half-width and upper case, and 0 otherwise (the error text starts with no digit, and
    // an empty token converts to "0"). Since 256 is 16 squared, that value depends only on the
    // last two digits, so one pass over the text that remembers them gives the same bytes as the
    // conversion without its big numbers, in time linear in the text.
    std::string bytes;
    const std::string_view all = text ? std::string_view(text) : std::string_view();
    size_t pos = 0;
    while (pos < all.size()) {
        int previous = 0;
        int last = 0;
        bool number = true;
        // The token runs to the next blank. Characters are walked as the split walks them: a
        // byte of 0x80 or above starts a two-byte character, whose second byte is never a
        // separator even when it is a blank.
        while (pos < all.size() && all[pos] != ' ') {
            const auto lead = static_cast<unsigned char>(all[pos]);
            int digit = -1;
            if (lead >= 0x80 && pos + 1 < all.size()) {
                // Only the full-width forms of digits and letters become hexadecimal digits.
                const auto trail = static_cast<unsigned char>(all[pos + 1]);
                if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
                    digit = HexDigitValue(trail & 0x7F);
                pos += 2;
            } else {
                digit = HexDigitValue(lead);
                ++pos;
            }
            if (digit < 0) {
                number = false;
            } else {
                previous = last;
                last = digit;
            }
        }
        bytes.push_back(static_cast<char>(number ? previous * 16 + last : 0));
        if (pos < all.size()) ++pos;  // the blank; a blank at the end adds no token
    }
    return OwnedBytes(MakeByteSet(bytes.data(), bytes.size()));
}

}  // namespace kesu::app
