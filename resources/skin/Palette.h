#pragma once
// The skin's palette and measures: the one place to restyle every picture of the program.
// Colours are named by role, not by hue; measures are in points (the @2x pictures are drawn
// from the same numbers at twice the pixel density).
#include <QColor>

namespace skin {

struct Palette {
    // Surfaces, darkest to lightest.
    QColor window{0x14, 0x16, 0x1a};    // behind everything
    QColor well{0x0f, 0x11, 0x14};      // sunken tracks and slots
    QColor base{0x1b, 0x1e, 0x23};      // lists, strips, players
    QColor raised{0x24, 0x28, 0x2e};    // bars
    QColor raisedTop{0x2c, 0x31, 0x38}; // top of a bar's gradient
    QColor control{0x33, 0x39, 0x41};   // buttons
    QColor controlTop{0x3d, 0x44, 0x4d};
    QColor controlPressed{0x22, 0x26, 0x2c};
    QColor hairline{0x0b, 0x0c, 0x0e}; // dark separators
    QColor edge{0x42, 0x49, 0x53};     // light borders of raised things
    QColor sheen{255, 255, 255, 16};   // top highlight line

    // Ink.
    QColor glyph{0xd2, 0xd7, 0xde};
    QColor glyphDim{0x8a, 0x93, 0x9e};
    QColor text{0xe6, 0xe9, 0xed};
    QColor textOnLight{0x4a, 0x4f, 0x56};

    // Accent (the selection blue of the menus) and the signal colours.
    QColor accent{0x38, 0xc0, 0xf5};
    QColor accentDeep{0x1c, 0x8e, 0xc7};
    QColor accentGlow{0x38, 0xc0, 0xf5, 46};
    QColor attention{0xf0, 0xa3, 0x3c}; // the pause-all state of the convert button
    QColor danger{0xe5, 0x57, 0x4f};
    QColor dangerDeep{0xb8, 0x3b, 0x34};
    QColor light{0xdc, 0xe1, 0xe7}; // light pills (selected category)
    QColor lightTop{0xf2, 0xf4, 0xf7};

    // Shadows.
    QColor shadow{0, 0, 0, 110};
    QColor softShadow{0, 0, 0, 60};

    // Format tiles, by kind of format.
    QColor kindVideo{0x2f, 0x7c, 0xc4};
    QColor kindAudio{0xd9, 0x8a, 0x2b};
    QColor kindDevice{0x6b, 0x77, 0x88};
    QColor kindWeb{0xc6, 0x45, 0x6b};
    QColor kindDisc{0x7d, 0x5b, 0xc6};
    QColor kindHd{0x23, 0xa0, 0x8c};
};

struct Measures {
    double radiusSmall = 3;
    double radius = 5;
    double radiusLarge = 8;
    double glyphStroke = 2.0; // on the 24-unit glyph grid

    // Buttons.
    double transportButton = 32; // editor and player buttons
    double floatButton = 24;     // buttons of the floating bar (layout: 24 x 24)
    double rowButton = 16;       // stop and delete in a job row
    double toolButtonW = 32, toolButtonH = 26;
    double convertW = 132, convertH = 34;
    double categoryW = 112, categoryH = 26;
    double settingButtonW = 96, settingButtonH = 26;

    // Bars and tracks.
    double trackHeight = 6;      // cut slider and progress tracks
    double floatTrackHeight = 4; // floating bar's progress and volume tracks
    double capWidth = 3;
    double rowHeight = 58; // a job row
    double floatBarW = 603, floatBarH = 59;

    // Grid.
    double gridCellW = 108, gridCellH = 120;
    double formatTile = 74; // the grid's picture view
    double arrowW = 28, arrowH = 44;

    // The export sheet.
    double sheetButtonW = 116, sheetButtonH = 28;
    double sheetEmblem = 48;
    double exportTrackHeight = 8;
};

const Palette &palette();
const Measures &measures();

} // namespace skin
