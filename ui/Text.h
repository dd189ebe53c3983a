// Text helpers that know about double-byte characters. Positions are 1-based bytes.
#pragma once
#include "ui/Types.h"

namespace ui {

// True when byte c starts a double-byte character in GBK.
inline bool IsLeadByte(unsigned char c) { return c >= 0x80; }

// 1-based position of `sought` in `text` at or after `start`, or -1. Matches only at character
// starts; ignoreCase folds ASCII letters. An empty text never matches a non-empty sought text.
int FindText(const Text& text, const Text& sought, int start = 1, bool ignoreCase = false);

// Leading blanks skipped, full-width digits, sign and point read as ASCII, the longest prefix
// that reads as a decimal number; no number gives 0.
double ToNumber(const Text& text);

Text LowerAscii(Text text);
Text UpperAscii(Text text);

// Conversions between GBK and UTF-16 for the W functions.
std::wstring Widen(const Text& text);
Text Narrow(const std::wstring& text);

} // namespace ui
