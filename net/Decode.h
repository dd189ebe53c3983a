// Reply text decoding: percent escapes resolved, UTF-8 turned into the local text (GBK).
#pragma once
#include <string>

#include "ui/Types.h"

namespace net {

// Resolves %XX escapes (a decoded zero byte is dropped), then converts the UTF-8 to GBK.
ui::Text UrlDecodeUtf8(const ui::Text& text);
// bytes: UTF-8.
ui::Text Utf8ToAnsi(const std::string& bytes);
// bytes: UTF-16LE code units; read up to the first zero unit.
ui::Text Utf16ToAnsi(const std::string& bytes);

} // namespace net
