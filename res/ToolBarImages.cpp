#include "res/ToolBarImages.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

#include <array>
#include <string_view>

namespace {

// Each button image is a 16 x 15 grid of palette letters; '.' leaves the
// pixel transparent. Painting whole pixels keeps the images crisp at their
// native size and when doubled.
using Cell = std::array<std::string_view, kToolBarImageHeight>;

QColor PaletteColor(char c)
{
    switch (c) {
    case 'k': return QColor(0, 0, 0);         // outline
    case 'w': return QColor(255, 255, 255);
    case 'g': return QColor(192, 192, 192);
    case 'd': return QColor(128, 128, 128);
    case 'D': return QColor(64, 64, 64);
    case 'y': return QColor(255, 224, 64);    // folder front
    case 'o': return QColor(208, 152, 0);     // folder back
    case 'r': return QColor(224, 16, 16);
    case 'R': return QColor(120, 0, 0);
    case 'p': return QColor(255, 150, 150);   // highlight on red
    case 'G': return QColor(24, 184, 24);
    case 'l': return QColor(144, 240, 144);   // highlight on green
    case 'e': return QColor(0, 88, 0);
    case 'B': return QColor(40, 72, 168);     // disk body
    case 'b': return QColor(0, 0, 144);
    default: return QColor(255, 0, 255);      // an unknown letter shows up
    }
}

constexpr std::array<Cell, kToolBarImageCount> kCells = {{
    // New: blank page with its top right corner folded down.
    {{
        "................",
        "..kkkkkkkk......",
        "..kwwwwwwkk.....",
        "..kwwwwwwkgk....",
        "..kwwwwwwkwgk...",
        "..kwwwwwwkkkkk..",
        "..kwwwwwwwwwgk..",
        "..kwwwwwwwwwgk..",
        "..kwwwwwwwwwgk..",
        "..kwwwwwwwwwgk..",
        "..kwwwwwwwwwgk..",
        "..kwwwwwwwwwgk..",
        "..kwwwwwwwwwgk..",
        "..kwgggggggggk..",
        "..kkkkkkkkkkkk..",
    }},
    // Open: yellow folder with its front flap tilted open.
    {{
        "................",
        "................",
        "..kkkk..........",
        ".koooook........",
        ".kooooookkkkkk..",
        ".kooooooooooook.",
        ".koookkkkkkkkkkk",
        ".kookwwwwwwwwwwk",
        ".kookyyyyyyyyyk.",
        ".kokyyyyyyyyyyk.",
        ".kokyyyyyyyyyk..",
        ".kkyyyyyyyyyyk..",
        ".kkkkkkkkkkkk...",
        "................",
        "................",
    }},
    // Save: floppy disk, metal shutter on top, label below.
    {{
        "................",
        ".kkkkkkkkkkkkk..",
        ".kBBgggggbbgBBk.",
        ".kBBgggggbbgBBk.",
        ".kBBgggggbbgBBk.",
        ".kBBggggggggBBk.",
        ".kBBBBBBBBBBBBk.",
        ".kBBBBBBBBBBBBk.",
        ".kBwwwwwwwwwwBk.",
        ".kBwddddddddwBk.",
        ".kBwwwwwwwwwwBk.",
        ".kBwddddddddwBk.",
        ".kBwwwwwwwwwwBk.",
        ".kBwwwwwwwwwwBk.",
        ".kkkkkkkkkkkkkk.",
    }},
    // Record: red disc with a highlight.
    {{
        "................",
        "................",
        "......RRRR......",
        "....RRrrrrRR....",
        "...RrrrrrrrrR...",
        "...RrpprrrrrR...",
        "..RrpprrrrrrrR..",
        "..RrprrrrrrrrR..",
        "..RrrrrrrrrrrR..",
        "..RrrrrrrrrrrR..",
        "...RrrrrrrrrR...",
        "...RrrrrrrrrR...",
        "....RRrrrrRR....",
        "......RRRR......",
        "................",
    }},
    // Play: green triangle pointing right.
    {{
        "................",
        "...ee...........",
        "...elee.........",
        "...elGGe........",
        "...elGGGee......",
        "...elGGGGGe.....",
        "...elGGGGGGee...",
        "...elGGGGGGGGe..",
        "...elGGGGGGee...",
        "...elGGGGGe.....",
        "...elGGGee......",
        "...elGGe........",
        "...elee.........",
        "...ee...........",
        "................",
    }},
    // Stop: dark square.
    {{
        "................",
        "................",
        "................",
        "...kkkkkkkkkk...",
        "...kdddddddDk...",
        "...kdDDDDDDDk...",
        "...kdDDDDDDDk...",
        "...kdDDDDDDDk...",
        "...kdDDDDDDDk...",
        "...kdDDDDDDDk...",
        "...kdDDDDDDDk...",
        "...kDDDDDDDDk...",
        "...kkkkkkkkkk...",
        "................",
        "................",
    }},
    // Print: printer with a printed sheet on top.
    {{
        "................",
        "....kkkkkkkk....",
        "....kwwwwwwk....",
        "....kwddddwk....",
        "....kwwwwwwk....",
        "..kkkwddddwkkk..",
        ".kwwwwwwwwwwwgk.",
        "kggggggggggggggk",
        "kgggggggggggGGgk",
        "kddddddddddddddk",
        "kdkkkkkkkkkkkkdk",
        "kddddddddddddddk",
        ".kkkkkkkkkkkkkk.",
        "................",
        "................",
    }},
    // Context help: arrow cursor and a question mark.
    {{
        "................",
        ".k..............",
        ".kk.............",
        ".kwk......bbbb..",
        ".kwwk....bb..bb.",
        ".kwwwk...bb..bb.",
        ".kwwwwk......bb.",
        ".kwwwwwk....bb..",
        ".kwwwwkkk..bb...",
        ".kwkkwk....bb...",
        ".kk.kwk.........",
        ".k...kwk...bb...",
        ".....kwk...bb...",
        "......kk........",
        "................",
    }},
}};

constexpr bool CellsHaveTheirSize()
{
    for (const Cell& cell : kCells)
        for (std::string_view row : cell)
            if (row.size() != kToolBarImageWidth)
                return false;
    return true;
}
static_assert(CellsHaveTheirSize(), "every row of a button image is 16 pixels wide");

} // namespace

QImage CreateToolBarStrip()
{
    QImage strip(kToolBarImageCount * kToolBarImageWidth, kToolBarImageHeight,
                 QImage::Format_ARGB32);
    strip.fill(Qt::transparent);

    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < kToolBarImageCount; ++i) {
        const int left = i * kToolBarImageWidth;
        for (int y = 0; y < kToolBarImageHeight; ++y) {
            const std::string_view row = kCells[i][y];
            for (int x = 0; x < kToolBarImageWidth; ++x) {
                if (row[x] != '.')
                    painter.fillRect(left + x, y, 1, 1, PaletteColor(row[x]));
            }
        }
    }
    painter.end();
    return strip;
}

QIcon ToolBarIcon(int index)
{
    if (index < 0 || index >= kToolBarImageCount)
        return QIcon();

    static const QImage strip = CreateToolBarStrip();
    const QImage cell = strip.copy(index * kToolBarImageWidth, 0, kToolBarImageWidth,
                                   kToolBarImageHeight);
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(cell));
    icon.addPixmap(QPixmap::fromImage(cell.scaled(cell.size() * 2, Qt::IgnoreAspectRatio,
                                                  Qt::FastTransformation)));
    return icon;
}
