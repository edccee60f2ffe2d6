#include "desktop/attached/ServiceWindow.h"

#include <QApplication>
#include <QDBusConnection>

#include <memory>
#include <unistd.h>

#include "common/program/ProgramNames.h"
#include "common/supervision/SupervisionLook.h"
#include "desktop/master/TarnixMMain.h"
#include "desktop/notify/NotificationPlan.h"
#include "desktop/slave/TarnixSMain.h"
#include "desktop/ui/QtMessageBoxes.h"
#include "desktop/window/PeerRowsPresenter.h"
#include "desktop/window/ServiceWindowRules.h"
#include "desktop/window/StatusPresenter.h"
#include "desktop/window/StatusReplay.h"
#include "platform/DesktopNotifications.h"
#include "platform/LinuxDesktop.h"
#include "platform/ServiceClaim.h"
#include "platform/SystemClock.h"
#include "platform/UrlOpener.h"
#include "platform/WatchdogClient.h"

#ifndef TARNIX_SERVICE_FOLDER
#define TARNIX_SERVICE_FOLDER "/usr/share/tarnix/service"
#endif

namespace tarnix {
namespace {

ServiceFiles FilesOf(ProgramKind kind) {
    const bool master = kind == ProgramKind::Master;
    return {.configFile = std::string("/etc/tarnix/") + (master ? "TarnixM.ini" : "TarnixS.ini"),
            .programFolder = std::string(TARNIX_SERVICE_FOLDER) + (master ? "/master" : "/slave"),
            .unit = master ? "tarnix-master" : "tarnix-slave"};
}

std::unique_ptr<MainWindowBase> WindowOf(ProgramKind kind) {
    if (kind == ProgramKind::Master) return std::make_unique<TarnixMMain>(OpenUrlInBrowser);
    return std::make_unique<TarnixSMain>(OpenUrlInBrowser);
}

class ClientButtons final : public ServiceButtons {
public:
    explicit ClientButtons(WatchdogClient& client) : client_(client) {}
    void Reset() override { client_.Reset(); }
    void Test() override { client_.Test(); }

private:
    WatchdogClient& client_;
};

} // namespace

struct ServiceWindow::Parts {
    Parts(ProgramKind serviceKind, bool inTray, const QDBusConnection& system, const QDBusConnection& session)
        : kind(serviceKind), title(ProgramTitleOf(kind)), startInTray(inTray), window(WindowOf(kind)),
          boxes(window.get()),
          band(SupervisionLookOf(kind), *window, dynamic_cast<CpuLoadBandView*>(window.get()), " (service)"),
          placement(*window, PlacementRules(inTray)), notifications(QString::fromStdString(title), session),
          plan(notifications), replay(kind, followers),
          client(
              system, kind,
              {.status = [this](const ProgramStatus& status) { replay.Follow(status); },
               .gone = [this] { replay.Lost(); },
               .refused = [this](const QString& button, const QString& reason) { Refused(button, reason); }}),
          buttons(client), rules(kind, FilesOf(kind),
                                 {.buttons = buttons,
                                  .placement = placement,
                                  .aboutBox = *window,
                                  .configWindow = *window,
                                  .desktop = desktop,
                                  .boxes = boxes,
                                  .clock = clock,
                                  .closeWindow = [] { QApplication::quit(); }}) {
        followers.Add(band);
        if (auto* rowsView = dynamic_cast<PeerRowsView*>(window.get()))
            followers.Add(rows.emplace(*rowsView));
        followers.Add(placement);
        followers.Add(plan);
        QObject::connect(&notifications, &DesktopNotifications::ResetInvoked, [this] { client.Reset(); });
        client.AskMayPress(::getuid(), [this](bool allowed) { plan.SetResetAllowed(allowed); });
        window->SetEvents(&rules);
        window->SetTrayToolTip(TrayToolTipOf(kind) + " (service)");
    }

    static ConfigRecord PlacementRules(bool inTray) {
        ConfigRecord rules;
        rules.StartMin = inTray ? 2 : 1;
        rules.RunOnTop = 1;
        return rules;
    }

    void Refused(const QString& button, const QString& reason) {
        boxes.Show(title + " " + button.toStdString(), {reason.toStdString()}, BoxIcon::Warning,
                   BoxButtons::Ok);
    }

    ProgramKind kind;
    std::string title;
    bool startInTray;
    std::unique_ptr<MainWindowBase> window;
    QtMessageBoxes boxes;
    LinuxDesktop desktop;
    SystemClock clock;
    StatusPresenter band;
    std::optional<PeerRowsPresenter> rows;
    WindowPlacement placement;
    DesktopNotifications notifications;
    NotificationPlan plan;
    StatusFanOut followers;
    StatusReplay replay;
    WatchdogClient client;
    ClientButtons buttons;
    ServiceWindowRules rules;
};

ServiceWindow::ServiceWindow(ProgramKind kind, bool startInTray, const QDBusConnection& systemBus,
                             const QDBusConnection& sessionBus)
    : parts_(std::make_unique<Parts>(kind, startInTray, systemBus, sessionBus)) {}

ServiceWindow::~ServiceWindow() = default;

MainWindowBase& ServiceWindow::Window() {
    return *parts_->window;
}

void ServiceWindow::Start() {
    parts_->replay.Lost(); // until the service answers
    if (parts_->startInTray) {
        parts_->window->Minimise();
    } else {
        parts_->window->show();
    }
    parts_->client.Start();
}

int RunServiceWindow(ProgramKind ownKind, bool startInTray) {
    const ProgramKind kind = RunningServiceKind(ServiceClaim::DefaultFolder()).value_or(ownKind);
    ServiceWindow window(kind, startInTray, QDBusConnection::systemBus(), QDBusConnection::sessionBus());
    window.Start();
    return QApplication::exec();
}

} // namespace tarnix
