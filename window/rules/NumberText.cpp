#include "window/rules/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>
#include <utility>

namespace tsy {

namespace {

// Walks the text with blanks, tabs and line feeds skipped.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    char Peek() {
        while (pos_ < text_.size() && IsBlank(text_[pos_]))
            ++pos_;
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    void Next() { ++pos_; }

private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
    std::string_view text_;
    std::size_t pos_ = 0;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

double ParseRadix(Reader& in, unsigned radix) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t v = 0;
    for (;;) {
        const int d = HexValue(in.Peek());
        if (d < 0 || unsigned(d) >= radix) break;
        in.Next();
        v = v > (kMax - unsigned(d)) / radix ? kMax : v * radix + unsigned(d);
    }
    return double(v);
}

}  // namespace

double ParseNumber(std::string_view text) {
    Reader in(text);
    if (in.Peek() == '&') {
        in.Next();
        const char kind = in.Peek();
        in.Next();
        if (kind == 'H' || kind == 'h') return ParseRadix(in, 16);
        if (kind == 'O' || kind == 'o') return ParseRadix(in, 8);
        return 0.0;
    }

    bool negative = false;
    if (in.Peek() == '+' || in.Peek() == '-') {
        negative = in.Peek() == '-';
        in.Next();
    }
    // The significant digits go to from_chars as "0.<digits>e<exp>", so a
    // mantissa of any length is rounded once, correctly.
    std::string digits = "0.";
    std::int64_t pointExp = 0;  // value = 0.<digits> * 10^pointExp
    bool anyDigit = false;
    bool leading = true;
    auto take = [&](char c, bool beforePoint) {
        anyDigit = true;
        if (leading && c == '0') {
            if (!beforePoint) --pointExp;
            return;
        }
        leading = false;
        if (beforePoint) ++pointExp;
        digits.push_back(c);
    };
    for (char c; IsDigit(c = in.Peek()); in.Next())
        take(c, true);
    if (in.Peek() == '.') {
        in.Next();
        for (char c; IsDigit(c = in.Peek()); in.Next())
            take(c, false);
    }
    if (!anyDigit) return 0.0;

    // Far beyond anything a double holds, yet small enough never to overflow.
    constexpr std::int64_t kExpCap = 1'000'000'000;
    std::int64_t exp = 0;
    const char letter = in.Peek();
    if (letter == 'e' || letter == 'E' || letter == 'd' || letter == 'D') {
        in.Next();
        bool expNegative = false;
        if (in.Peek() == '+' || in.Peek() == '-') {
            expNegative = in.Peek() == '-';
            in.Next();
        }
        // Without digits the letter is just part of the ignored rest.
        for (char c; IsDigit(c = in.Peek()); in.Next())
            exp = std::min(exp * 10 + (c - '0'), kExpCap);
        if (expNegative) exp = -exp;
    }

    if (leading) return 0.0;  // all zeros
    const std::int64_t e = pointExp + exp;
    const double big = std::numeric_limits<double>::max();
    if (e > 400) return negative ? -big : big;
    if (e < -400) return 0.0;
    digits.push_back('e');
    digits += std::to_string(e);

    double v = 0.0;
    const auto read = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (read.ec == std::errc::result_out_of_range) {
        if (e < 0) return 0.0;
        v = big;
    } else if (read.ec != std::errc() || v == 0.0) {
        return 0.0;  // never -0
    }
    return negative ? -v : v;
}

int RoundHalfEven(double v, int lo, int hi) {
    if (hi < lo) std::swap(lo, hi);
    if (std::isnan(v)) v = 0.0;
    if (v <= lo) return lo;
    if (v >= hi) return hi;
    // Inside the int range v - floor(v) is exact, so the tie test is too.
    const double f = std::floor(v);
    const double frac = v - f;
    const int r = int(f);
    return frac > 0.5 || (frac == 0.5 && r % 2 != 0) ? r + 1 : r;
}

std::string FormatNumber(double v) {
    if (std::isnan(v) || v == 0.0) return "0";
    if (std::isinf(v)) v = std::copysign(std::numeric_limits<double>::max(), v);
    const double mag = std::fabs(v);
    const auto format =
        mag >= 1e-6 && mag < 1e21 ? std::chars_format::fixed : std::chars_format::scientific;
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, format);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

}  // namespace tsy
