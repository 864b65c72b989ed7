#include "engine/CancelRequested.h"

namespace orvel {

bool CancelRequested = false;

} // namespace orvel
