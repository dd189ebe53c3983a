// Taking a URL apart for the request routine: only "http://" is known as a scheme; anything else
// is read as host, optional port and optional path.
#pragma once
#include "ui/Types.h"

namespace net {

ui::Text UrlHost(const ui::Text& url); // lower case
int UrlPort(const ui::Text& url);      // 80 when none is written
ui::Text UrlPath(const ui::Text& url); // always begins with "/"

} // namespace net
