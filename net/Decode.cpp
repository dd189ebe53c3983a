#include "net/Decode.h"

#include <cstring>
#include <vector>
#include <windows.h>

namespace net {
namespace {

// GBK whatever the system locale: the texts must convert the same everywhere.
constexpr UINT Gbk = 936;

// A byte that is no hexadecimal digit, or a position past the end, counts as 0.
int DigitValue(const ui::Text& text, size_t i) {
    if (i >= text.size()) return 0;
    char c = text[i];
    if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
    const char* alphabet = "0123456789ABCDEF";
    const char* found = c ? std::strchr(alphabet, c) : nullptr;
    return found ? int(found - alphabet) : 0;
}

} // namespace

ui::Text UrlDecodeUtf8(const ui::Text& text) {
    std::string bytes;
    bytes.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        int high = DigitValue(text, ++i);
        int low = DigitValue(text, ++i);
        if (char byte = char((16 * high + low) & 0xFF)) bytes += byte;
    }
    return Utf8ToAnsi(bytes);
}

ui::Text Utf8ToAnsi(const std::string& bytes) {
    if (bytes.empty()) return {};
    int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    if (units <= 0) return {};
    std::string wide(size_t(units) * 2, '\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()),
                        reinterpret_cast<wchar_t*>(wide.data()), units);
    return Utf16ToAnsi(wide);
}

ui::Text Utf16ToAnsi(const std::string& bytes) {
    std::vector<wchar_t> units(bytes.size() / 2);
    if (!units.empty()) std::memcpy(units.data(), bytes.data(), units.size() * 2);
    int length = 0;
    while (length < int(units.size()) && units[size_t(length)] != 0)
        ++length;
    if (length == 0) return {};
    int size = WideCharToMultiByte(Gbk, 0, units.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    ui::Text out(size_t(size), '\0');
    WideCharToMultiByte(Gbk, 0, units.data(), length, out.data(), size, nullptr, nullptr);
    if (size_t zero = out.find('\0'); zero != ui::Text::npos) out.resize(zero);
    return out;
}

} // namespace net
