// The program's pictures, our own artwork compiled in from ui/images/*.svg.
//
// The image list of the tool bar, by index (1 to 10):
//   1 send a message (envelope)      6 plug-in list (puzzle piece)
//   2 personal cabinet (person)      7 search for music (magnifier over a note)
//   3 close (cross)                  8 vote for (thumb up)
//   4 save the current track (disk)  9 radio (radio set)
//   5 log in (key)                  10 vote against (thumb down)
// plus the program's icon, the tray icon and the message box's three kind icons.
//
// Threads: the user-interface thread only (pictures need the application object).
#pragma once

#include <QIcon>
#include <QPixmap>

#include "platform/desktop_services.h"
#include "ui/image_list_range.h"

namespace kalvira::ui {

// A null icon or pixmap for an index outside 1 to 10.
QIcon ImageListIcon(int index);
QPixmap ImageListPixmap(int index, int size);

QIcon ProgramIcon();
QIcon TrayIcon();
QPixmap MessageKindPixmap(MessageKind kind, int size);

}  // namespace kalvira::ui
