#pragma once

#include "desktop/ui/MainWindowBase.h"

class QLabel;

namespace tarnix {

// The slave's main window: the shared controls plus the CPULoad band and the Counter text box.
class TarnixSMain final : public MainWindowBase, public CpuLoadBandView {
    Q_OBJECT
public:
    explicit TarnixSMain(UrlOpenFn openUrl, QWidget* parent = nullptr);

    void SetCpuLoadText(const std::string& text) override;
    void SetCpuLoadColours(Colour foreground, Colour background) override;

private:
    QLabel* cpuLoad_ = nullptr;
};

} // namespace tarnix
