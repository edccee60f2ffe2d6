#pragma once

#include "ui/MainWindowBase.h"

namespace tarnix {

// The master's main window: the shared controls plus one status row for this computer and one
// for each of the four remote computers.
class TarnixMMain final : public MainWindowBase {
    Q_OBJECT
public:
    TarnixMMain(AuxWindowState& aux, UrlOpenFn openUrl, QWidget* parent = nullptr);

private:
    void CreateStatusRows();
};

} // namespace tarnix
