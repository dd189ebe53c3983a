// One complete HTTP request over WinINet; the reply body comes back as text.
#pragma once
#include <optional>

#include "ui/Types.h"

namespace net {

// method (in/out): "POST" in any letter case is kept; anything else becomes "GET" in the
// caller's variable. proxy: "host:port" of an HTTP proxy, absent for a direct request.
// headers (in/out): extra lines, each ending in CR LF; afterwards it holds every header line sent.
// body: sent only with POST. responseHeaders (out): the raw response header block.
// Returns the body up to its first zero byte; the empty text on any failure. A null pointer
// stands for a parameter left at its default (empty, absent).
ui::Text WebAccess(const ui::Text& url, ui::Text* method = nullptr,
                   const std::optional<ui::Text>& proxy = std::nullopt, ui::Text* headers = nullptr,
                   const ui::Text& body = {}, ui::Text* responseHeaders = nullptr);

// The most of a reply that is kept; an endless reply ends here with what was read.
constexpr size_t MaxReplyBytes = size_t(64) << 20;

} // namespace net
