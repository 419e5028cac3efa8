#pragma once
// The toolbar's 16 x 16 images, drawn once in code: a page, an open folder, a
// disk, a printer, binoculars, a play triangle, a stop square, a blank, a
// green A, "16", "16" on its side, a pulse, an alarm clock, a clock, blanks.
#include <QIcon>

enum ToolbarImage : int {
    IMG_NEW = 0, IMG_OPEN, IMG_SAVE, IMG_PRINT, IMG_FIND, IMG_START, IMG_STOP, IMG_BLANK,
    IMG_ASCII, IMG_HEX_H, IMG_HEX_V, IMG_STATUS, IMG_STAMP, IMG_DATETIME, IMG_BLANK2, IMG_COUNT = 25
};

QIcon ToolbarIcon(int image);
