#pragma once

#include <string>
#include <string_view>

namespace tsy {

// The numeric value of a text, as typed into the adjustment boxes or stored as
// the JPEG quality. Independent of the user's locale.
//
// - Blanks, tabs and line feeds are skipped wherever they stand ("1 2" is 12).
// - From the start: optional sign, digits, optionally "." and more digits,
//   optionally an exponent letter E or D (either case) with optional sign and
//   digits. The first character that does not fit ends the number; the rest is
//   ignored. An exponent letter without digits is ignored ("1e" is 1). Only
//   "." is a decimal point.
// - "&H" / "&O" (either case) at the start read hexadecimal / octal digits as
//   a non-negative integer that saturates at 2^64 - 1 (returned rounded to
//   double, 18446744073709551616); no sign is allowed in front.
// - No leading number ("abc", "", "-", "+", "-.", ".e5") gives 0.
// - Any number of digits is read and rounded correctly to the nearest double.
//   Exponents of any length are accepted; a value beyond the double range
//   gives +-DBL_MAX (never infinity), one too small for it gives 0. A zero
//   result is always +0.
double ParseNumber(std::string_view text);

// v rounded to the nearest integer, halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2), clamped to [lo, hi] (bounds swapped if given the
// wrong way round). NaN counts as 0.
int RoundHalfEven(double v, int lo, int hi);

// The shortest decimal text that ParseNumber reads back as v: "2.5", "128",
// "-5", "0.1". Plain digits for 1e-6 <= |v| < 1e21, otherwise an exponent
// ("1e+21", "1.5e-07"). "." is the decimal point; -0 gives "0", NaN gives "0"
// and infinities give the text of +-DBL_MAX.
std::string FormatNumber(double v);

}  // namespace tsy
