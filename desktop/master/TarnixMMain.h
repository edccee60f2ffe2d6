#pragma once

#include <array>
#include <optional>
#include <string>

#include "common/supervision/SupervisionTimer.h"
#include "desktop/ui/MainWindowBase.h"

class QLineEdit;

namespace tarnix {

// The master's main window: the shared controls plus one status row for this computer and one
// for each of the four remote computers.
// Within a tick the rows wait for its end, so it watches the supervision timer's ticks.
class TarnixMMain final : public MainWindowBase, public PeerRowsView, public TickObserver {
    Q_OBJECT
public:
    explicit TarnixMMain(UrlOpenFn openUrl, QWidget* parent = nullptr);

    void SetRowText(int row, RowBox box, const std::string& text) override;
    void SetRowColour(int row, RowBox box, Colour colour) override;

    void TickBegins() override;
    void TickEnded() override;

private:
    // What one status box is told during the event being handled.
    struct PendingBox {
        std::optional<std::string> text;
        std::optional<Colour> colour;
    };
    // What a status box shows, as it was last told: a box told the same again is left alone
    // before anything is converted for Qt.
    struct ShownBox {
        std::string text;
        std::optional<Colour> colour;
    };

    void CreateStatusRows();
    QLineEdit* RowBoxOf(int row, RowBox box) const;
    PendingBox* PendingOf(int row, RowBox box);
    void QueueApply();
    void ApplyPendingRows();

    std::array<std::array<QLineEdit*, 3>, 5> rows_{};
    std::array<std::array<PendingBox, 3>, 5> pending_{};
    std::array<std::array<ShownBox, 3>, 5> shown_{};
    bool anyPending_ = false;
    bool applyQueued_ = false;
    int ticksRunning_ = 0;
};

} // namespace tarnix
