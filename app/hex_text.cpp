#include "app/hex_text.h"

#include <string>

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
    std::string bytes;
    for (OwnedText& token : SplitText(text, " ")) {
        OwnedText decimal = ConvertRadix(token, 16, 10);
        // The byte is the value modulo 256. Since 10^8 is a multiple of 256, a decimal number's
        // remainder depends only on its last eight digits: handing ToByte just those keeps the
        // byte exact for a token of any length, where reading the whole number would overflow.
        // An error text starts with no digit and stays whole (its byte is 0).
        const std::string_view digits = decimal.view();
        const bool number =
            !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
        const char* tail = decimal.c_str();
        if (number && digits.size() > 8) tail += digits.size() - 8;
        bytes.push_back(static_cast<char>(ToByte(tail)));
    }
    return OwnedBytes(MakeByteSet(bytes.data(), bytes.size()));
}

}  // namespace kesu::app
