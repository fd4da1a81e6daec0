#pragma once
// The window's ink and the application-wide look of the platform's own dialogs (question
// sheets, file choosers, menus, tool tips). The pictures themselves come from the skin;
// these are the text colours that sit on them, taken from the same palette.
#include <QColor>

class QApplication;

namespace odtheme {

inline QColor text() { return QColor(0xe6, 0xe9, 0xed); }
inline QColor textSoft() { return QColor(0xa4, 0xac, 0xb6); }
inline QColor textDim() { return QColor(0x7d, 0x86, 0x91); }
inline QColor textOnLight() { return QColor(0x3a, 0x3f, 0x46); }
inline QColor accent() { return QColor(0x38, 0xc0, 0xf5); }
inline QColor danger() { return QColor(0xf0, 0x6a, 0x62); }
inline QColor window() { return QColor(0x14, 0x16, 0x1a); }
inline QColor base() { return QColor(0x1b, 0x1e, 0x23); }
inline QColor hairline() { return QColor(0x0b, 0x0c, 0x0e); }

// Fusion with a dark palette and a few style rules, so that sheets and choosers match the
// skinned window. Safe to call more than once.
void applyApplicationLook(QApplication &app);

} // namespace odtheme
