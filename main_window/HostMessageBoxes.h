// The message boxes the program really shows, made with QMessageBox.
#pragma once

#include "platform/MessageBoxes.h"

namespace orvel {

// The real message boxes (QMessageBox).
MessageBoxes& hostMessageBoxes();

} // namespace orvel
