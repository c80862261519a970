// Letter case of 8-bit text the way Windows names compare in the core: only A-Z and a-z fold,
// every other byte (UTF-8 sequences included) stays as it is.
#pragma once

#include <string>
#include <string_view>

// The byte with A-Z turned into a-z.
char LowerAscii(char c);
// The text with A-Z turned into a-z.
std::string LowerAscii(std::string text);
// True when a and b have the same length and differ at most in the case of A-Z.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);
