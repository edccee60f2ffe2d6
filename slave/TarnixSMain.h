#pragma once

#include "ui/MainWindowBase.h"

namespace tarnix {

// The slave's main window: the shared controls plus the CPULoad band and the Counter text box.
class TarnixSMain final : public MainWindowBase {
    Q_OBJECT
public:
    TarnixSMain(AuxWindowState& aux, UrlOpenFn openUrl, QWidget* parent = nullptr);
};

} // namespace tarnix
