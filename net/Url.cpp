#include "net/Url.h"

#include <cmath>
#include <limits>

#include "ui/Text.h"

namespace net {
namespace {

// Host and optional port: after the scheme (when there is one) up to the first "/".
ui::Text Authority(const ui::Text& url) {
    if (url.size() >= 7 && ui::LowerAscii(url.substr(0, 7)) == "http://") {
        int p = ui::FindText(url, "/", 8);
        return p > 0 ? url.substr(7, size_t(p - 8)) : url.substr(7);
    }
    int p = ui::FindText(url, "/");
    return p > 0 ? url.substr(0, size_t(p - 1)) : url;
}

// Truncates toward zero; values beyond int32 are held at its ends instead of overflowing.
int TruncateToInt(double value) {
    if (!(value > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    if (!(value < std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return int(std::trunc(value));
}

} // namespace

ui::Text UrlHost(const ui::Text& url) {
    ui::Text authority = Authority(url);
    int c = ui::FindText(authority, ":");
    if (c > 0) authority.resize(size_t(c - 1));
    return ui::LowerAscii(authority);
}

int UrlPort(const ui::Text& url) {
    ui::Text authority = Authority(url);
    int c = ui::FindText(authority, ":");
    return TruncateToInt(ui::ToNumber(c > 0 ? authority.substr(size_t(c)) : ui::Text("80")));
}

ui::Text UrlPath(const ui::Text& url) {
    int a = ui::FindText(url, UrlHost(url), 1, true);
    int b = ui::FindText(url, "/", a > 0 ? a : 1);
    return b > 0 ? url.substr(size_t(b - 1)) : ui::Text("/");
}

} // namespace net
