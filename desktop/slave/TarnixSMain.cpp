#include "desktop/slave/TarnixSMain.h"

#include <QLabel>
#include <QLineEdit>

#include "common/display/Colour.h"
#include "desktop/ui/ControlStyle.h"
#include "desktop/ui/Twips.h"

namespace tarnix {
namespace {

constexpr int LineHeight = 255;
constexpr int CounterHeight = 285;

} // namespace

TarnixSMain::TarnixSMain(UrlOpenFn openUrl, QWidget* parent)
    : MainWindowBase(MainWindowSetup{.kind = ProgramKind::Slave,
                                     .clientWidthTwips = 7260,
                                     .clientHeightTwips = 1095,
                                     .buttonTopTwips = 705},
                     std::move(openUrl), parent) {
    TitleLabel()->setGeometry(TwipsRect(90, 0, 6240, LineHeight));

    auto* cpuLoad = new QLabel(this);
    cpuLoad->setGeometry(TwipsRect(90, 255, 1680, CounterHeight));
    cpuLoad->setAlignment(Qt::AlignCenter);
    cpuLoad->setObjectName(QStringLiteral("CPULoad"));
    cpuLoad_ = cpuLoad;

    // Made after CPULoad so that it lies on top where the two overlap.
    auto* counter = new QLineEdit(this);
    counter->setReadOnly(true);
    counter->setGeometry(TwipsRect(1710, 255, 4360, CounterHeight));
    SetControlForeground(counter, colours::ButtonText);
    SetControlBackground(counter, colours::ButtonFace);
    UseCounter(counter);

    PlaceLogo(TwipsRect(6380, 75, 810, 435));
}

void TarnixSMain::SetCpuLoadText(const std::string& text) {
    SetControlText(cpuLoad_, text);
}

void TarnixSMain::SetCpuLoadColours(Colour foreground, Colour background) {
    SetControlForeground(cpuLoad_, foreground);
    SetControlBackground(cpuLoad_, background);
}

} // namespace tarnix
