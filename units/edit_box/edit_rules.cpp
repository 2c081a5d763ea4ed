#include "units/edit_box/edit_rules.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "runtime/value.h"

namespace kesu::units {

namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// The byte position of the start of the character that holds position pos,
// walking from the start so that trail bytes are recognised as such.
std::size_t CharacterStart(std::string_view text, std::size_t pos) {
    std::size_t i = 0;
    while (i < pos && i < text.size()) {
        std::size_t step = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + step > pos) return i;
        i += step;
    }
    return i;
}

// Parses the leading number of text as strtod does after leading blanks; no
// number at all gives 0. Non-finite results count as 0.
double LeadingReal(const std::string& text) {
    const char* s = text.c_str();
    char* end = nullptr;
    double v = std::strtod(s, &end);
    if (end == s || !std::isfinite(v)) return 0;
    return v;
}

std::string IntegerText(double v, double lo, double hi) {
    v = std::trunc(std::clamp(v, lo, hi));
    return std::to_string(static_cast<long long>(v));
}

// Date-time texts: year, month and day separated by '-', '/', '.' or the
// calendar characters, optionally followed by hour, minute and second separated
// by ':' or the time characters. Returns false when no valid date is found.
bool ParseDateTime(const std::string& text, double& days) {
    int parts[6] = {0, 0, 0, 0, 0, 0};
    int count = 0;
    std::size_t i = 0;
    while (i < text.size() && count < 6) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsDigit(c)) {
            long v = 0;
            while (i < text.size() && IsDigit(static_cast<unsigned char>(text[i]))) {
                v = v * 10 + (text[i] - '0');
                if (v > 100000) return false;
                ++i;
            }
            parts[count++] = static_cast<int>(v);
        } else {
            i += IsLeadByte(c) ? 2 : 1;
        }
    }
    if (count < 3) return false;
    DateTimeParts p{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 || p.day > 31 ||
        p.hour > 23 || p.minute > 59 || p.second > 59) {
        return false;
    }
    days = JoinDateTime(p);
    // A day beyond the month's end (31 April) is refused rather than rolled over.
    DateTimeParts back = SplitDateTime(days);
    return back.year == p.year && back.month == p.month && back.day == p.day;
}

}  // namespace

bool AdmitsTypedChar(std::int32_t inputMode, unsigned char c) {
    if (c < 32) return true;
    switch (inputMode) {
        case 3:
        case 6:
        case 7:
        case 8:
            return IsDigit(c) || c == '-';
        case 4:
        case 9:
        case 10:
            return IsDigit(c) || c == '-' || c == '.';
        case 5:
            return IsDigit(c);
        default:
            return true;
    }
}

std::string NormaliseForMode(std::int32_t inputMode, std::string_view view) {
    std::string text(view);
    std::string out;
    switch (inputMode) {
        case 5:
            out = IntegerText(LeadingReal(text), 0, 255);
            break;
        case 6:
            out = IntegerText(LeadingReal(text), -32768, 32767);
            break;
        case 7:
            out = IntegerText(LeadingReal(text), INT32_MIN, INT32_MAX);
            break;
        case 8: {
            // Parsed as an integer so that all 64 bits survive.
            const char* s = text.c_str();
            char* end = nullptr;
            errno = 0;
            long long v = std::strtoll(s, &end, 10);
            if (end == s) v = 0;
            out = std::to_string(v);
            break;
        }
        case 9: {
            ValueRecord r;
            r.SetFloat(static_cast<float>(LeadingReal(text)));
            out = CanonicalText(r);
            break;
        }
        case 10:
            out = CanonicalText(ValueRecord::Double(LeadingReal(text)));
            break;
        case 11: {
            double days = 0;
            if (!ParseDateTime(text, days) || days == 0) return std::string();
            ValueRecord r;
            r.SetDateTime(days);
            return CanonicalText(r);
        }
        default:
            return text;
    }
    if (out == "0" || out == "-0") out.clear();
    return out;
}

std::string ApplyLetterCase(std::int32_t letterCase, std::string_view text) {
    std::string out(text);
    if (letterCase != 1 && letterCase != 2) return out;
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c)) {
            ++i;  // skip the trail byte
        } else if (letterCase == 1 && c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + 32);
        } else if (letterCase == 2 && c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 32);
        }
    }
    return out;
}

std::string_view FitToRoom(std::string_view piece, std::size_t room) {
    if (piece.size() <= room) return piece;
    return piece.substr(0, CharacterStart(piece, room));
}

}  // namespace kesu::units
