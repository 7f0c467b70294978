// Pictures: every picture of the desktop program, drawn with QPainter so that the program needs
// no image files: the 16 x 16 node pictures of the database trees (index = node kind 0 to 17),
// the 24 x 24 pictures of the main tool bar, the pictures of the task list's tool bar and the
// window icon.
//
// Interface thread only (QPixmap).
#pragma once

#include <QIcon>

namespace velmora {

enum class ToolPicture { Configure, Connect, Migrate, Delete, Backup };
enum class TaskPicture { ClearAll, Remove, Down, Up, Play, Pause };

// 16 x 16; kinds outside 0 to 17 get the column picture.
QIcon NodePicture(int kind);
// 24 x 24.
QIcon ToolBarPicture(ToolPicture picture);
// 16 x 16.
QIcon TaskBarPicture(TaskPicture picture);
QIcon WindowPicture();

}  // namespace velmora
