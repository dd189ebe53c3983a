// The built-in web addresses, fixed when the program is built.
#pragma once
#include "ui/Types.h"

namespace ui {

struct Addresses {
    Text vendorSite; // site root, no trailing slash
    Text lookupHost; // host[:port]
    Text searchHome;
};

// The program's addresses; a test may point them at its own stand-in servers.
Addresses& BuiltInAddresses();

} // namespace ui
