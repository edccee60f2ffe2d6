#include "master/PeerRowsPresenter.h"

namespace tarnix {

std::string PeerStatusText(PeerStatus status) {
    switch (status) {
    case PeerStatus::Connected:
        return " Connected";
    case PeerStatus::DataError:
        return " Data Error";
    case PeerStatus::Nothing:
        break;
    }
    return " Not Connected";
}

void PeerRowsPresenter::ShowHostRow(const std::string& name, char actionLetter) {
    if (rows_ == nullptr) return;
    rows_->SetRowText(0, RowBox::Comp, " " + name);
    rows_->SetRowColour(0, RowBox::Comp, colours::Black);
    rows_->SetRowText(0, RowBox::Shut1, std::string(1, actionLetter));
    rows_->SetRowColour(0, RowBox::Shut1, colours::Black);
}

void PeerRowsPresenter::ShowNetwork(bool allSent) {
    if (rows_ == nullptr) return;
    const Colour colour = allSent ? colours::StatusGreen : colours::StatusOrange;
    rows_->SetRowText(0, RowBox::Type1, allSent ? " Network OK" : " No Network");
    for (RowBox box : {RowBox::Type1, RowBox::Comp, RowBox::Shut1})
        rows_->SetRowColour(0, box, colour);
}

void PeerRowsPresenter::ClearRow(int row) {
    if (rows_ == nullptr) return;
    rows_->SetRowColour(row, RowBox::Type1, colours::StatusOrange);
    rows_->SetRowText(row, RowBox::Type1, " ");
    rows_->SetRowColour(row, RowBox::Comp, colours::Black);
}

void PeerRowsPresenter::ClearLetter(int row) {
    if (rows_ == nullptr) return;
    rows_->SetRowText(row, RowBox::Shut1, "");
}

void PeerRowsPresenter::ShowNotConfigured(int row) {
    if (rows_ == nullptr) return;
    for (RowBox box : {RowBox::Comp, RowBox::Type1, RowBox::Shut1}) {
        rows_->SetRowText(row, box, " ---");
        rows_->SetRowColour(row, box, colours::Black);
    }
}

void PeerRowsPresenter::ShowName(int row, const std::string& nameOrAddress) {
    if (rows_ == nullptr) return;
    rows_->SetRowText(row, RowBox::Comp, " " + nameOrAddress);
}

void PeerRowsPresenter::ShowLink(int row, PeerStatus status, const std::string& reply, bool showLetter) {
    if (rows_ == nullptr) return;
    const Colour colour = status == PeerStatus::Connected ? colours::StatusGreen : colours::StatusOrange;
    rows_->SetRowText(row, RowBox::Type1, PeerStatusText(status));
    rows_->SetRowColour(row, RowBox::Type1, colour);
    rows_->SetRowColour(row, RowBox::Comp, colour);
    if (showLetter) rows_->SetRowText(row, RowBox::Shut1, reply);
    const bool countingDown = reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "**") == 0;
    rows_->SetRowColour(row, RowBox::Shut1, countingDown ? colours::StatusOrange : colours::StatusGreen);
}

} // namespace tarnix
