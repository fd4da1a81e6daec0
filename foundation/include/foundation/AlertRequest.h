#pragma once
// What an alert asks and how it is answered: plain values, so that windowless code (the
// document) can ask a question that the window library's Alerts then shows.
#include <QString>
#include <optional>

namespace foundation {

enum class AlertButton { Default, Alternate, Other };

struct AlertRequest {
    QString title;
    QString message;
    QString defaultButton;   // the one Return presses
    QString alternateButton; // empty: no such button
    QString otherButton;     // empty: no such button
    // What Escape, or closing the box, answers: the safe choice. Set it wherever the
    // default button is the destructive one. Empty: the default button (the alternate
    // one on a box with a check box).
    std::optional<AlertButton> escapeButton;
};

} // namespace foundation
