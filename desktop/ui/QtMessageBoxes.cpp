#include "desktop/ui/QtMessageBoxes.h"

#include <QMessageBox>

namespace tarnix {
namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Error:
        return QMessageBox::Critical;
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void SetBoxText(QMessageBox& box, const std::string& title, const std::vector<std::string>& lines,
                BoxIcon icon) {
    const BoxText text{.titleSuffix = {}, .icon = icon, .lines = lines};
    box.setWindowTitle(QString::fromStdString(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text.Message()));
    box.setIcon(ToQtIcon(icon));
}

} // namespace

BoxAnswer ShowMessageBox(QWidget* parent, const std::string& title, const std::vector<std::string>& lines,
                         BoxIcon icon, BoxButtons buttons) {
    QMessageBox box(parent);
    SetBoxText(box, title, lines, icon);
    if (buttons == BoxButtons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
        return BoxAnswer::Ok;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Yes) ? BoxAnswer::Yes : BoxAnswer::No;
}

QtMessageBoxes::QtMessageBoxes(QWidget* parent) : parent_(parent) {}

BoxAnswer QtMessageBoxes::Show(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon,
                               BoxButtons buttons) {
    return ShowMessageBox(parent_.data(), title, lines, icon, buttons);
}

} // namespace tarnix

namespace tarnix {

void QtMessageBoxes::Notify(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) {
    if (notice_.isNull()) {
        notice_ = new QMessageBox(parent_.data());
        notice_->setAttribute(Qt::WA_DeleteOnClose);
        notice_->setWindowModality(Qt::NonModal);
        notice_->setStandardButtons(QMessageBox::Ok);
    }
    SetBoxText(*notice_, title, lines, icon);
    notice_->show();
    notice_->raise();
}

} // namespace tarnix
