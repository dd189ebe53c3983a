#include "ui/Text.h"

#include <cstdlib>
#include <windows.h>

namespace ui {

namespace {

constexpr UINT Gbk = 936;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool SameAt(const Text& text, size_t at, const Text& sought, bool ignoreCase) {
    for (size_t k = 0; k < sought.size(); ++k) {
        char a = text[at + k], b = sought[k];
        if (ignoreCase ? FoldAscii(a) != FoldAscii(b) : a != b) return false;
    }
    return true;
}

// Full-width forms in GBK are A3 followed by the ASCII code + 0x80.
char AsciiOfFullWidth(const Text& text, size_t i) {
    if ((unsigned char)text[i] != 0xA3 || i + 1 >= text.size()) return 0;
    char c = char((unsigned char)text[i + 1] - 0x80);
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'
               ? c
               : 0;
}

} // namespace

int FindText(const Text& text, const Text& sought, int start, bool ignoreCase) {
    if (sought.empty()) return -1;
    size_t i = start > 1 ? size_t(start - 1) : 0;
    while (i + sought.size() <= text.size()) {
        if (SameAt(text, i, sought, ignoreCase)) return int(i + 1);
        i += IsLeadByte((unsigned char)text[i]) ? 2 : 1;
    }
    return -1;
}

double ToNumber(const Text& text) {
    // Normalise to ASCII first, then take the longest prefix of the form [+-]d*[.d*][e[+-]d+].
    std::string ascii;
    for (size_t i = 0; i < text.size(); ++i) {
        if (char c = AsciiOfFullWidth(text, i)) {
            ascii += c;
            ++i;
        } else if ((unsigned char)text[i] == 0xA1 && i + 1 < text.size() &&
                   (unsigned char)text[i + 1] == 0xA1) {
            ascii += ' '; // full-width blank
            ++i;
        } else {
            ascii += text[i];
        }
    }
    size_t i = ascii.find_first_not_of(" \t\r\n");
    if (i == std::string::npos) return 0;
    size_t begin = i;
    if (ascii[i] == '+' || ascii[i] == '-') ++i;
    size_t digits = 0;
    while (i < ascii.size() && isdigit((unsigned char)ascii[i])) ++i, ++digits;
    if (i < ascii.size() && ascii[i] == '.') {
        ++i;
        while (i < ascii.size() && isdigit((unsigned char)ascii[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < ascii.size() && (ascii[i] == 'e' || ascii[i] == 'E')) {
        size_t e = i + 1;
        if (e < ascii.size() && (ascii[e] == '+' || ascii[e] == '-')) ++e;
        if (e < ascii.size() && isdigit((unsigned char)ascii[e])) {
            while (e < ascii.size() && isdigit((unsigned char)ascii[e])) ++e;
            i = e;
        }
    }
    return std::strtod(ascii.substr(begin, i - begin).c_str(), nullptr);
}

Text LowerAscii(Text text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte((unsigned char)text[i])) ++i;
        else text[i] = FoldAscii(text[i]);
    }
    return text;
}

Text UpperAscii(Text text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte((unsigned char)text[i])) ++i;
        else if (text[i] >= 'a' && text[i] <= 'z') text[i] = char(text[i] - 'a' + 'A');
    }
    return text;
}

std::wstring Widen(const Text& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(Gbk, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(Gbk, 0, text.data(), int(text.size()), wide.data(), n);
    return wide;
}

Text Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(Gbk, 0, text.data(), int(text.size()), nullptr, 0, nullptr,
                                nullptr);
    Text narrow(size_t(n), '\0');
    WideCharToMultiByte(Gbk, 0, text.data(), int(text.size()), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

} // namespace ui
