#pragma once

#include <array>

#include "ui/MainWindowBase.h"

class QLineEdit;

namespace tarnix {

// The master's main window: the shared controls plus one status row for this computer and one
// for each of the four remote computers.
class TarnixMMain final : public MainWindowBase, public PeerRowsView {
    Q_OBJECT
public:
    explicit TarnixMMain(UrlOpenFn openUrl, QWidget* parent = nullptr);

    void SetRowText(int row, RowBox box, const std::string& text) override;
    void SetRowColour(int row, RowBox box, Colour colour) override;

private:
    void CreateStatusRows();
    QLineEdit* RowBoxOf(int row, RowBox box) const;

    std::array<std::array<QLineEdit*, 3>, 5> rows_{};
};

} // namespace tarnix
