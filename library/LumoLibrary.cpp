#include "library/LumoLibrary.h"

namespace lumo {

const char* LibraryVersion() noexcept { return LUMO_VERSION; }

}  // namespace lumo
