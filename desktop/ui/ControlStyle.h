#pragma once

#include <QColor>
#include <QWidget>
#include <string>

#include "common/display/Colour.h"

namespace tarnix {

// The desktop's colour for a Colour: its own red/green/blue, or the palette's button face or
// button text.
QColor ToQColor(Colour colour);

// Colours, weight and text of a label or a read-only text box, whichever the control is.
void SetControlForeground(QWidget* control, Colour colour);
void SetControlBackground(QWidget* control, Colour colour);
void SetControlBold(QWidget* control, bool bold);
void SetControlText(QWidget* control, const std::string& text);
std::string ControlText(const QWidget* control);

} // namespace tarnix
