// The look the windows share: the Japanese Gothic faces they are laid out
// for, and the program's own picture (a page of text), drawn in code.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>

class QWidget;

// The proportional Gothic face used for captions and buttons.
QFont gothicFont(double pointSize, bool bold = false);
// The fixed-pitch Gothic face of the processing log and the format legend;
// IPAexGothic serves when no fixed-pitch Japanese face is installed.
QFont gothicFixedFont(double pointSize, bool bold = false);
// The about box's title face.
QFont titleFont(double pointSize, bool bold = false);

// A fixed border with a title and a close box only (no minimize or maximize
// box), for a window or a dialog.
Qt::WindowFlags fixedBorderFlags(Qt::WindowType kind);

// Moves a window that is about to open so that it is centred over anchor
// (its frame), or over the screen when anchor is null or hidden; kept on the
// anchor's screen.
void centreOver(QWidget& window, const QWidget* anchor);

// A text page with a folded corner and a "PDF" band, size x size pixels.
QPixmap documentPicture(int size);
QIcon programIcon();
