#pragma once

#include <array>
#include <string>

#include "common/display/MainWindowView.h"
#include "common/program/WatchdogCommands.h"

namespace tarnix {

// The words the master's rows use for a remote computer's link.
std::string PeerStatusText(LinkState link);

// Turns the master's remote computers, as its status tells them, into the texts and colours of
// its status rows: row 0 is this computer, rows 1..4 the remote computers. It decides nothing.
class PeerRowsPresenter final : public StatusObserver {
public:
    explicit PeerRowsPresenter(PeerRowsView& rows) : rows_(rows) {}

    void StatusChanged(const ProgramStatus&) override {}
    void StepTaken(const StatusStep& step, const ProgramStatus& status) override;
    bool TakesSteps() const override { return true; }

private:
    void ShowRows(const ProgramStatus& status);
    void ShowHostRow(const std::string& name, char actionLetter);
    void ShowNetwork(bool allSent);
    // A row waiting for its first evaluation: no status, no letter.
    void ClearRow(int row);
    void ClearLetters(bool freshRows);
    // Names, links and letters: a window whose service has stopped shows none.
    void ClearAll();
    void ShowNotConfigured(int row);
    void ShowRemoteRow(int row, const RemoteComputerStatus& remote, SupervisionPhase phase);
    void ShowLink(int row, LinkState link, const std::string& reply);

    PeerRowsView& rows_;
    // A row's action column shows " ---" until a reset clears it, even once the computer is
    // configured.
    std::array<bool, RemoteComputerCount + 1> showsNotConfigured_{};
};

} // namespace tarnix
