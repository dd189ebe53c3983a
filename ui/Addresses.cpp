#include "ui/Addresses.h"

namespace ui {

Addresses& BuiltInAddresses() {
    static Addresses addresses{LUMENO_VENDOR_SITE, LUMENO_LOOKUP_HOST, LUMENO_SEARCH_HOME};
    return addresses;
}

} // namespace ui
