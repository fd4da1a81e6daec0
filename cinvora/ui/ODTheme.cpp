#include "ODTheme.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace odtheme {

void applyApplicationLook(QApplication &app) {
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QPalette pal;
    const QColor panel(0x1f, 0x22, 0x27);
    pal.setColor(QPalette::Window, panel);
    pal.setColor(QPalette::WindowText, text());
    pal.setColor(QPalette::Base, QColor(0x14, 0x16, 0x1a));
    pal.setColor(QPalette::AlternateBase, base());
    pal.setColor(QPalette::ToolTipBase, QColor(0x2a, 0x2f, 0x36));
    pal.setColor(QPalette::ToolTipText, text());
    pal.setColor(QPalette::PlaceholderText, textDim());
    pal.setColor(QPalette::Text, text());
    pal.setColor(QPalette::Button, QColor(0x33, 0x39, 0x41));
    pal.setColor(QPalette::ButtonText, text());
    pal.setColor(QPalette::BrightText, Qt::white);
    pal.setColor(QPalette::Highlight, QColor(0x1c, 0x8e, 0xc7));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::Link, accent());
    pal.setColor(QPalette::Disabled, QPalette::Text, textDim());
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, textDim());
    pal.setColor(QPalette::Disabled, QPalette::WindowText, textDim());
    QApplication::setPalette(pal);
    app.setStyleSheet(QStringLiteral(
        "QToolTip { color: #e6e9ed; background: #2a2f36; border: 1px solid #0b0c0e; padding: 3px 6px; }"
        "QMenu { background: #24282e; color: #e6e9ed; border: 1px solid #0b0c0e; padding: 4px 0; }"
        "QMenu::item { padding: 5px 22px; }"
        "QMenu::item:selected { background: #1c8ec7; color: white; }"
        "QMenu::separator { height: 1px; background: #0b0c0e; margin: 4px 8px; }"
        "QMessageBox { background: #1f2227; }"
        "QMessageBox QLabel { color: #e6e9ed; }"
        "QMessageBox QPushButton, QDialog QPushButton { min-width: 72px; padding: 5px 12px; color: #e6e9ed;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3d444d, stop:1 #33393f);"
        " border: 1px solid #0b0c0e; border-radius: 5px; }"
        "QMessageBox QPushButton:default, QDialog QPushButton:default { border-color: #1c8ec7; }"
        "QMessageBox QPushButton:pressed, QDialog QPushButton:pressed { background: #22262c; color: #38c0f5; }"));
}

} // namespace odtheme
