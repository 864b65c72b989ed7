// The application icon and the pictures compiled into the program.
#pragma once

// Gui types are only named here: platform/ keeps Qt Gui to itself, and whoever
// calls these links Qt Gui anyway.
class QIcon;
class QPixmap;

namespace orvel {

// The application icon in every size it ships in (16 to 256 pixels), for window
// decorations, task bars and the about box.
QIcon ApplicationIcon();

// The 32 x 32 picture that the main window and the about box show.
QPixmap ApplicationIcon32();

// The 16 x 16 folder-with-arrow picture of the "up one level" button.
QPixmap UpLevelPicture();

} // namespace orvel
