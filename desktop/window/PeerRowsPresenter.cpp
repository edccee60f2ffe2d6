#include "desktop/window/PeerRowsPresenter.h"

#include "common/supervision/ShutType.h"

namespace tarnix {

std::string PeerStatusText(LinkState link) {
    switch (link) {
    case LinkState::Connected:
        return " Connected";
    case LinkState::DataError:
        return " Data Error";
    case LinkState::Nothing:
        break;
    }
    return " Not Connected";
}

void PeerRowsPresenter::StepTaken(const StatusStep& step, const ProgramStatus& status) {
    switch (step.step) {
    case Step::RowsShown:
        return ShowRows(status);
    case Step::RowsCleared:
        for (int row = step.firstRow; row <= RemoteComputerCount; ++row)
            ClearRow(row);
        return;
    case Step::LettersCleared:
        return ClearLetters(step.freshRows);
    case Step::NetworkShown:
        return ShowNetwork(status.networkOK);
    case Step::Detached:
        return ClearAll();
    default:
        return;
    }
}

void PeerRowsPresenter::ShowRows(const ProgramStatus& status) {
    ShowHostRow(status.computerName, ActionLetter(status.action));
    for (int row = 1; row <= RemoteComputerCount; ++row)
        ShowRemoteRow(row, status.remote[static_cast<std::size_t>(row - 1)], status.phase);
}

void PeerRowsPresenter::ShowHostRow(const std::string& name, char actionLetter) {
    rows_.SetRowText(0, RowBox::Comp, " " + name);
    rows_.SetRowColour(0, RowBox::Comp, colours::Black);
    rows_.SetRowText(0, RowBox::Shut1, std::string(1, actionLetter));
    rows_.SetRowColour(0, RowBox::Shut1, colours::Black);
}

void PeerRowsPresenter::ShowNetwork(bool allSent) {
    const Colour colour = allSent ? colours::StatusGreen : colours::StatusOrange;
    rows_.SetRowText(0, RowBox::Type1, allSent ? " Network OK" : " No Network");
    for (RowBox box : {RowBox::Type1, RowBox::Comp, RowBox::Shut1})
        rows_.SetRowColour(0, box, colour);
}

void PeerRowsPresenter::ClearRow(int row) {
    rows_.SetRowColour(row, RowBox::Type1, colours::StatusOrange);
    rows_.SetRowText(row, RowBox::Type1, " ");
    rows_.SetRowColour(row, RowBox::Comp, colours::Black);
}

void PeerRowsPresenter::ClearAll() {
    for (int row = 0; row <= RemoteComputerCount; ++row) {
        ClearRow(row);
        rows_.SetRowText(row, RowBox::Comp, "");
        rows_.SetRowText(row, RowBox::Shut1, "");
        rows_.SetRowColour(row, RowBox::Shut1, colours::Black);
    }
    showsNotConfigured_ = {};
}

void PeerRowsPresenter::ClearLetters(bool freshRows) {
    for (int row = 1; row <= RemoteComputerCount; ++row) {
        rows_.SetRowText(row, RowBox::Shut1, "");
        if (freshRows) showsNotConfigured_[static_cast<std::size_t>(row)] = false;
    }
}

void PeerRowsPresenter::ShowNotConfigured(int row) {
    for (RowBox box : {RowBox::Comp, RowBox::Type1, RowBox::Shut1}) {
        rows_.SetRowText(row, box, " ---");
        rows_.SetRowColour(row, box, colours::Black);
    }
    showsNotConfigured_[static_cast<std::size_t>(row)] = true;
}

void PeerRowsPresenter::ShowRemoteRow(int row, const RemoteComputerStatus& remote, SupervisionPhase phase) {
    const std::string& nameOrAddress = remote.name.empty() ? remote.address : remote.name;
    if (nameOrAddress.empty()) return ShowNotConfigured(row);
    rows_.SetRowText(row, RowBox::Comp, " " + nameOrAddress);
    if (phase == PhaseActivation) return;
    ShowLink(row, remote.link.value_or(LinkState::Nothing), remote.letter);
}

void PeerRowsPresenter::ShowLink(int row, LinkState link, const std::string& reply) {
    const Colour colour = link == LinkState::Connected ? colours::StatusGreen : colours::StatusOrange;
    rows_.SetRowText(row, RowBox::Type1, PeerStatusText(link));
    rows_.SetRowColour(row, RowBox::Type1, colour);
    rows_.SetRowColour(row, RowBox::Comp, colour);
    if (!showsNotConfigured_[static_cast<std::size_t>(row)]) rows_.SetRowText(row, RowBox::Shut1, reply);
    const bool countingDown = reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "**") == 0;
    rows_.SetRowColour(row, RowBox::Shut1, countingDown ? colours::StatusOrange : colours::StatusGreen);
}

} // namespace tarnix
