#include "commands/number_text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace kesu::commands {

namespace {

// Beyond this many decimals a double carries no further information; padding
// is capped there so that an absurd request cannot exhaust memory.
constexpr int32_t kMaxPaddedPlaces = 340;

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Rounds a non-negative value to an integer the way the commands do: add
// 1e-12, then a fraction of at least one half rounds up.
double RoundHalfUp(double magnitude) {
    double x = magnitude + 1e-12;
    double whole = std::floor(x);
    return x - whole >= 0.5 ? whole + 1 : whole;
}

}  // namespace

double RoundToPlaces(double value, int32_t places) {
    if (value == 0 || !std::isfinite(value)) return value;
    double magnitude = std::fabs(value);
    double result;
    if (places >= 0) {
        double scale = std::pow(10.0, places);
        double scaled = magnitude * scale;
        // A value that has no fraction at this scale (or would overflow when
        // scaled) is already rounded; scaling it would only lose it.
        if (!std::isfinite(scaled) || scaled >= 9007199254740992.0) return value;
        result = RoundHalfUp(scaled) / scale;
    } else {
        double scale = std::pow(10.0, -static_cast<double>(places));
        if (!std::isfinite(scale)) return 0;
        result = RoundHalfUp(magnitude / scale) * scale;
    }
    return value < 0 ? -result : result;
}

std::string FormatNumber(double value, std::optional<int32_t> places, bool separators) {
    if (places) value = RoundToPlaces(value, *places);
    std::string text = DoubleToText(value);
    bool plain = text.find_first_not_of("-0123456789.") == std::string::npos;
    if (places && *places > 0 && plain) {
        // Padding an exponent form or "inf" would produce nonsense like
        // "1e+020.00"; only plain decimal texts are padded.
        int32_t wanted = std::min(*places, kMaxPaddedPlaces);
        size_t point = text.find('.');
        if (point == std::string::npos) {
            text += '.';
            text.append(static_cast<size_t>(wanted), '0');
        } else {
            size_t have = text.size() - point - 1;
            if (have < static_cast<size_t>(wanted))
                text.append(static_cast<size_t>(wanted) - have, '0');
        }
    }
    if (separators && plain) {
        size_t begin = text[0] == '-' ? 1 : 0;
        size_t end = text.find('.');
        if (end == std::string::npos) end = text.size();
        for (size_t pos = end; pos > begin + 3;) {
            pos -= 3;
            text.insert(pos, 1, ',');
        }
    }
    return text;
}

std::string AmountText(double value, bool simplified) {
    // The tables in GBK bytes, two per character.
    static const char kFormalDigits[] =
        "\xC1\xE3\xD2\xBC\xB7\xA1\xC8\xFE\xCB\xC1\xCE\xE9\xC2\xBD\xC6\xE2\xB0\xC6\xBE\xC1" /* 零壹贰叁肆伍陆柒捌玖
                                                                                            */
        ;
    static const char kFormalUnits[] =
        "\xCA\xB0\xB0\xDB\xC7\xAA\xCD\xF2\xCA\xB0\xB0\xDB\xC7\xAA\xD2\xDA\xCA\xB0\xB0\xDB\xC7\xAA"
        "\xCD\xF2" /* 拾佰仟万拾佰仟亿拾佰仟万 */;
    static const char kSimpleDigits[] =
        "\xC1\xE3\xD2\xBB\xB6\xFE\xC8\xFD\xCB\xC4\xCE\xE5\xC1\xF9\xC6\xDF\xB0\xCB\xBE\xC5" /* 零一二三四五六七八九
                                                                                            */
        ;
    static const char kSimpleUnits[] =
        "\xCA\xAE\xB0\xD9\xC7\xA7\xCD\xF2\xCA\xAE\xB0\xD9\xC7\xA7\xD2\xDA\xCA\xAE\xB0\xD9\xC7\xA7"
        "\xCD\xF2" /* 十百千万十百千亿十百千万 */;
    const char* digit_table = simplified ? kSimpleDigits : kFormalDigits;
    const char* unit_table = simplified ? kSimpleUnits : kFormalUnits;
    auto digit = [&](int d) { return std::string(digit_table + 2 * d, 2); };
    auto unit = [&](int i) { return std::string(unit_table + 2 * i, 2); };

    bool negative = value < 0;
    double hundredths = std::fabs(value) * 100;
    // NaN and infinities fail this test too and overflow like huge amounts.
    if (!(hundredths < 1e15)) return "\xD2\xE7\xB3\xF6";  // "溢出"
    double rounded = RoundHalfUp(hundredths);
    if (rounded > 999999999999999.0) return "\xD2\xE7\xB3\xF6";  // "溢出"
    auto n = static_cast<int64_t>(rounded);
    if (n == 0) return digit(0);

    std::vector<int> d;
    for (int64_t rest = n; rest > 0; rest /= 10) d.push_back(static_cast<int>(rest % 10));
    auto zeros_between = [&](size_t from, size_t below) {
        for (size_t k = from; k < below; ++k) {
            if (d[k] != 0) return false;
        }
        return true;
    };

    std::string text = d[0] == 0 ? "\xD5\xFB" : "";  // "整"
    bool yuan_written = false;
    for (size_t i = 0; i < d.size(); ++i) {
        std::string piece;
        if (d[i] == 0) {
            if (i > 0 && d[i - 1] != 0) piece = digit(0);
        } else if (i == 0) {
            piece = digit(d[i]) + "\xB7\xD6";  // "分"
        } else if (i == 1) {
            piece = digit(d[i]) + "\xBD\xC7";  // "角"
        } else {
            piece = digit(d[i]);
            if (i >= 3) piece += unit(static_cast<int>(i) - 3);
            if (i >= 7 && i <= 9 && zeros_between(6, i)) piece += "\xCD\xF2";     // "万"
            if (i >= 11 && i <= 14 && zeros_between(10, i)) piece += "\xD2\xDA";  // "亿"
            if (!yuan_written) {
                piece += "\xD4\xAA";  // "元"
                yuan_written = true;
            }
        }
        text.insert(0, piece);
    }
    if (negative) text.insert(0, "\xB8\xBA");  // "负"
    return text;
}

double ParseDecimalPrefix(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    // The mantissa's significant digits, without leading zeros, and the power of ten that puts
    // the point in front of them: the value is 0.<digits> times 10 to the power `scale`.
    std::string digits;
    int64_t scale = 0;
    size_t mantissa_digits = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        ++mantissa_digits;
        if (digits.empty() && text[pos] == '0') {
            ++pos;
            continue;
        }
        digits += text[pos++];
        ++scale;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++mantissa_digits;
            if (digits.empty() && text[pos] == '0') {
                --scale;
            } else {
                digits += text[pos];
            }
            ++pos;
        }
    }
    if (mantissa_digits == 0) return 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t p = pos + 1;
        bool exp_negative = false;
        if (p < text.size() && (text[p] == '+' || text[p] == '-')) exp_negative = text[p++] == '-';
        int64_t exponent = 0;
        while (p < text.size() && IsDigit(text[p])) {
            // Saturate far beyond any text's length: the sum with `scale` still tells over- from
            // underflow, as the exact value would.
            exponent = std::min<int64_t>(exponent * 10 + (text[p++] - '0'), int64_t{1} << 50);
        }
        scale += exp_negative ? -exponent : exponent;
    }
    double value = 0;
    if (digits.empty()) {
        value = 0;
    } else if (scale > 310) {
        value = HUGE_VAL;  // at least 10^309, beyond the largest double
    } else if (scale >= -330) {
        // Below 10^-330 the value is under half the smallest denormal and reads as 0.
        const std::string canonical = "0." + digits + "e" + std::to_string(scale);
        const auto result =
            std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
        if (result.ec == std::errc::result_out_of_range) {
            // Like atof, decided by the size of the value: overflow gives infinity, underflow 0.
            value = scale > 0 ? HUGE_VAL : 0.0;
        }
    }
    return negative ? -value : value;
}

int32_t ParseIntegerPrefix(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    int64_t value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        value = std::min<int64_t>(value * 10 + (text[pos++] - '0'), int64_t{INT32_MAX} + 1);
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace kesu::commands
