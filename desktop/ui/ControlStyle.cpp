#include "desktop/ui/ControlStyle.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

namespace tarnix {

QColor ToQColor(Colour colour) {
    switch (colour.kind) {
    case Colour::Kind::ButtonFace:
        return QApplication::palette().color(QPalette::Button);
    case Colour::Kind::ButtonText:
        return QApplication::palette().color(QPalette::ButtonText);
    case Colour::Kind::Rgb:
        break;
    }
    return QColor(colour.red, colour.green, colour.blue);
}

// Every setter leaves a control alone when it already shows what it is told: the programs tell
// their windows the same things every second, and a change of palette, font or text repaints.

// A label paints its text in WindowText on Window, a text box in Text on Base; setting both
// keeps one call right for either kind of control.
void SetControlForeground(QWidget* control, Colour colour) {
    QPalette palette = control->palette();
    const QColor colourValue = ToQColor(colour);
    if (palette.color(QPalette::WindowText) == colourValue && palette.color(QPalette::Text) == colourValue &&
        palette.isBrushSet(QPalette::Active, QPalette::WindowText) &&
        palette.isBrushSet(QPalette::Active, QPalette::Text))
        return;
    palette.setColor(QPalette::WindowText, colourValue);
    palette.setColor(QPalette::Text, colourValue);
    control->setPalette(palette);
}

void SetControlBackground(QWidget* control, Colour colour) {
    QPalette palette = control->palette();
    const QColor colourValue = ToQColor(colour);
    if (control->autoFillBackground() && palette.color(QPalette::Window) == colourValue &&
        palette.color(QPalette::Base) == colourValue &&
        palette.isBrushSet(QPalette::Active, QPalette::Window) &&
        palette.isBrushSet(QPalette::Active, QPalette::Base))
        return;
    palette.setColor(QPalette::Window, colourValue);
    palette.setColor(QPalette::Base, colourValue);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

void SetControlBold(QWidget* control, bool bold) {
    if (control->font().bold() == bold) return;
    QFont font = control->font();
    font.setBold(bold);
    control->setFont(font);
}

void SetControlText(QWidget* control, const std::string& text) {
    const QString value = QString::fromStdString(text);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        if (label->text() != value) label->setText(value);
    } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
        if (box->text() == value) return;
        // A text box shows the start of a text too long for it, not its end.
        box->setText(value);
        box->setCursorPosition(0);
    }
}

std::string ControlText(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text().toStdString();
    if (const auto* box = qobject_cast<const QLineEdit*>(control)) return box->text().toStdString();
    return {};
}

} // namespace tarnix
