#pragma once

#include <string>

#include "common/display/MainWindowView.h"
#include "common/program/ProgramStatus.h"

namespace tarnix {

// What the master heard from a remote computer within a second; the log shows the number.
using PeerStatus = LinkState;

// The words the master's rows use for a remote computer's state.
std::string PeerStatusText(PeerStatus status);

// Turns the master's view of its links into the texts and colours of its status rows: row 0 is
// this computer, rows 1..4 the remote computers. It decides nothing; without rows (a face with
// no window) it paints nothing.
class PeerRowsPresenter {
public:
    explicit PeerRowsPresenter(PeerRowsView* rows) : rows_(rows) {}

    void ShowHostRow(const std::string& name, char actionLetter);
    void ShowNetwork(bool allSent);
    // A row waiting for its first evaluation: no status, no letter.
    void ClearRow(int row);
    void ClearLetter(int row);
    void ShowNotConfigured(int row);
    void ShowName(int row, const std::string& nameOrAddress);
    // showLetter: false while the action column still shows " ---".
    void ShowLink(int row, PeerStatus status, const std::string& reply, bool showLetter);

private:
    PeerRowsView* rows_;
};

} // namespace tarnix
