#include "net/Lookup.h"

namespace net {
void OnQueryClicked() {}
} // namespace net
