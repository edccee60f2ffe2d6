#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "common/program/MessageBox.h"

namespace tarnix {

// Shows one modal message box: the lines joined by CR LF as plain text (a datagram such as
// "<TNA100>" must not be read as markup), Error as the critical icon, Warning as the warning
// icon. A Yes/No box closed by the window manager or Escape answers No.
BoxAnswer ShowMessageBox(QWidget* parent, const std::string& title, const std::vector<std::string>& lines,
                         BoxIcon icon, BoxButtons buttons);

// The programs' message boxes, centred on their parent window when there is one.
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr);
    BoxAnswer Show(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon,
                   BoxButtons buttons) override;
    // A modeless box with OK that deletes itself when closed.
    void Notify(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) override;

private:
    QPointer<QWidget> parent_;
    QPointer<QMessageBox> notice_;
};

} // namespace tarnix
