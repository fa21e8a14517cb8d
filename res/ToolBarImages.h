#pragma once
// The tool bar's button images: one strip of 16 x 15 pixel cells, drawn by
// code so no image file has to ship with the program.

#include <QIcon>
#include <QImage>

// Cells of the strip, left to right, in the order of the tool bar buttons.
enum {
    kImageNew,
    kImageOpen,
    kImageSave,
    kImageRecord,
    kImagePlay,
    kImageStop,
    kImagePrint,
    kImageContextHelp,
    kToolBarImageCount = 8
};

constexpr int kToolBarImageWidth = 16;
constexpr int kToolBarImageHeight = 15;

// A kToolBarImageCount * 16 by 15 pixel ARGB32 image, transparent where no
// button image is. Every pixel is either fully opaque or fully transparent.
QImage CreateToolBarStrip();

// Cell `index` of the strip as an icon, at 16 x 15 and doubled to 32 x 30
// (pixels repeated, not smoothed) for high-density screens. A null icon for
// an index outside the strip.
QIcon ToolBarIcon(int index);
