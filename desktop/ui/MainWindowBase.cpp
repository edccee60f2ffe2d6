#include "desktop/ui/MainWindowBase.h"

#include "desktop/ui/frmConfig.h"

#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "common/program/ProgramNames.h"
#include "desktop/ui/Artwork.h"
#include "desktop/ui/ClickLabel.h"
#include "desktop/ui/ControlStyle.h"
#include "desktop/ui/TrayRestoreRule.h"
#include "desktop/ui/Twips.h"
#include "desktop/ui/frmAbout.h"

namespace tarnix {
namespace {

constexpr int ButtonWidthTwips = 980;
constexpr int ButtonHeightTwips = 345;

struct ButtonLayout {
    Button id;
    const char* name;
    const char* caption;
    int leftTwips;
};

constexpr std::array<ButtonLayout, 5> ButtonLayouts{{
    {Button::TestS, "TestS", "Test", 90},
    {Button::Config, "Config", "Configure", 1200},
    {Button::Reset, "Reset", "Reset", 3960},
    {Button::About, "About", "About", 5097},
    {Button::Exit, "Exit", "Exit", 6235},
}};

std::string DefaultToolTip(Button button, const std::string& programTitle) {
    switch (button) {
    case Button::TestS:
        return "Enables/Restarts " + programTitle + " Test Mode";
    case Button::Config:
        return "Configure " + programTitle;
    case Button::Reset:
        return "Reset " + programTitle;
    case Button::About:
        return "About " + programTitle;
    case Button::Exit:
        return "Exit " + programTitle;
    }
    return {};
}

} // namespace

MainWindowBase::MainWindowBase(const MainWindowSetup& setup, UrlOpenFn openUrl, QWidget* parent)
    : QWidget(parent), kind_(setup.kind), programTitle_(ProgramTitleOf(setup.kind)),
      openUrl_(std::move(openUrl)), trayProbe_([] { return QSystemTrayIcon::isSystemTrayAvailable(); }) {
    // A fixed border: the window can be minimised and closed, never resized or maximised.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(TwipsToPixels(setup.clientWidthTwips), TwipsToPixels(setup.clientHeightTwips));
    setFont(QFont(QStringLiteral("Arial"), 8));
    setWindowTitle(QString::fromStdString(programTitle_));
    setWindowIcon(ProgramIcon());

    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("Title"));

    logo_ = new ClickLabel(this);
    logo_->setObjectName(QStringLiteral("Logo"));
    connect(logo_, &ClickLabel::clicked, this, [this] { OpenWebPage(this, programTitle_, openUrl_); });

    CreateButtons(setup.buttonTopTwips);

    CreateTrayIcon();
}

MainWindowBase::~MainWindowBase() {
    trayIcon_->hide();
}

void MainWindowBase::CreateButtons(int topTwips) {
    for (const ButtonLayout& layout : ButtonLayouts) {
        auto* button = new QPushButton(QString::fromLatin1(layout.caption), this);
        button->setObjectName(QString::fromLatin1(layout.name));
        button->setGeometry(TwipsRect(layout.leftTwips, topTwips, ButtonWidthTwips, ButtonHeightTwips));
        button->setToolTip(QString::fromStdString(DefaultToolTip(layout.id, programTitle_)));
        button->setAutoDefault(false);
        const Button id = layout.id;
        connect(button, &QPushButton::clicked, this, [this, id] {
            if (events_ != nullptr) events_->OnButtonClicked(id);
        });
        buttons_[static_cast<std::size_t>(id)] = button;
    }
}

void MainWindowBase::CreateTrayIcon() {
    trayIcon_ = new QSystemTrayIcon(windowIcon(), this);
    trayIcon_->setObjectName(QStringLiteral("TrayIcon"));
    trayIcon_->setToolTip(QString::fromStdString(TrayToolTipOf(kind_)));
    connect(trayIcon_, &QSystemTrayIcon::activated, this, &MainWindowBase::OnTrayActivated);
}

void MainWindowBase::SetTrayToolTip(const std::string& text) {
    trayIcon_->setToolTip(QString::fromStdString(text));
}

void MainWindowBase::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    // The bus is asked only for a plain click, the one case where the answer matters.
    const bool statusNotifierHost = reason == QSystemTrayIcon::Trigger && StatusNotifierHostPresent();
    if (TrayActivationRestores(reason, statusNotifierHost) && events_ != nullptr)
        events_->OnTrayRestoreRequested();
}

void MainWindowBase::SetEvents(MainWindowEvents* events) {
    events_ = events;
}

void MainWindowBase::SetSystemTrayProbe(std::function<bool()> probe) {
    trayProbe_ = std::move(probe);
}

void MainWindowBase::PlaceLogo(const QRect& geometry) {
    logo_->setGeometry(geometry);
    logo_->setPixmap(DrawLogo(geometry.size()));
}

void MainWindowBase::UseCounter(QWidget* counter) {
    counter->setObjectName(QStringLiteral("Counter"));
    counter_ = counter;
}

QPushButton* MainWindowBase::ButtonOf(Button button) const {
    return buttons_[static_cast<std::size_t>(button)];
}

// ---- Texts and colours

void MainWindowBase::SetCaption(const std::string& text) {
    const QString caption = QString::fromStdString(text);
    if (windowTitle() != caption) setWindowTitle(caption);
}

void MainWindowBase::SetTitleText(const std::string& text) {
    SetControlText(title_, text);
}

void MainWindowBase::SetTitleStyle(Colour foreground, bool bold) {
    SetControlForeground(title_, foreground);
    SetControlBold(title_, bold);
}

// The counter is told its state for every datagram (a flood of malformed ones repeats "Connection
// Error" each time): what it shows already is recognised before anything is converted for Qt.
void MainWindowBase::SetCounterText(const std::string& text) {
    if (counter_ == nullptr || counterShown_.text == text) return;
    counterShown_.text = text;
    SetControlText(counter_, text);
}

void MainWindowBase::SetCounterForeground(Colour colour) {
    if (counter_ == nullptr || counterShown_.foreground == colour) return;
    counterShown_.foreground = colour;
    SetControlForeground(counter_, colour);
}

void MainWindowBase::SetCounterBackground(Colour colour) {
    if (counter_ == nullptr || counterShown_.background == colour) return;
    counterShown_.background = colour;
    SetControlBackground(counter_, colour);
}

void MainWindowBase::SetCounterBold(bool bold) {
    if (counter_ == nullptr || counterShown_.bold == bold) return;
    counterShown_.bold = bold;
    SetControlBold(counter_, bold);
}

void MainWindowBase::SetButtonEnabled(Button button, bool enabled) {
    ButtonOf(button)->setEnabled(enabled);
}

void MainWindowBase::SetButtonCaption(Button button, const std::string& caption) {
    const QString text = QString::fromStdString(caption);
    if (ButtonOf(button)->text() != text) ButtonOf(button)->setText(text);
}

void MainWindowBase::SetButtonToolTip(Button button, const std::string& toolTip) {
    const QString text = QString::fromStdString(toolTip);
    if (ButtonOf(button)->toolTip() != text) ButtonOf(button)->setToolTip(text);
}

// ---- Placement

bool MainWindowBase::IsMinimised() const {
    return isMinimized();
}

void MainWindowBase::Minimise() {
    // A window not shown yet (a start in the tray) only takes the minimised state, so it never
    // flashes up; showing it minimised would also put it in the task bar beside the tray icon.
    if (!isVisible() && trayProbe_ && trayProbe_()) {
        setWindowState(windowState() | Qt::WindowMinimized);
        return;
    }
    showMinimized();
}

void MainWindowBase::ShowNormalCentred() {
    showNormal();
    show();
    QScreen* screenNow = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (screenNow != nullptr) {
        const QRect area = screenNow->availableGeometry();
        const QSize outer = frameGeometry().size();
        move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
    }
    raise();
    activateWindow();
}

// Qt applies the on-top hint by re-creating the native window, which hides it. Only a real change
// is applied, and the window then comes back as it was (shown or hidden, minimised or not)
// without taking the focus from another program; a window that had the focus keeps it.
void MainWindowBase::SetTopmost(bool onTop) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
    const bool wasVisible = isVisible();
    const bool wasActive = isActiveWindow();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (!wasVisible) return;
    const bool showWithoutActivating = testAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    show();
    setAttribute(Qt::WA_ShowWithoutActivating, showWithoutActivating);
    if (wasActive) activateWindow();
}

// Hiding is only safe while a tray icon can bring the window back; without a tray the window
// stays minimised in the task bar.
void MainWindowBase::HideWindow() {
    if (trayIcon_->isVisible() && trayProbe_ && trayProbe_()) hide();
}

void MainWindowBase::AddTrayIcon() {
    trayIcon_->show();
}

void MainWindowBase::RemoveTrayIcon() {
    trayIcon_->hide();
}

// ---- Auxiliary windows

void MainWindowBase::OpenAboutBox(bool inhibitShutdown, bool runOnTop, AuxWindowEvents& events) {
    frmAbout box(kind_, inhibitShutdown, runOnTop, events, openUrl_, this);
    aboutBox_ = &box;
    box.exec();
    aboutBox_ = nullptr;
}

void MainWindowBase::CloseAboutBox() {
    if (aboutBox_ != nullptr) aboutBox_->close();
}

void MainWindowBase::RunConfigScreen(const Attach& attach) {
    frmConfig dialog(kind_, openUrl_, this);
    dialog.SetEvents(&attach(dialog));
    configScreen_ = &dialog;
    dialog.exec();
    configScreen_ = nullptr;
}

// Closing on time is no Close: nothing is re-read.
void MainWindowBase::CloseConfigScreen() {
    if (configScreen_ != nullptr) configScreen_->Unload();
}

// ---- Events for the logic

// Closing is the logic's decision: it ends the program, or, if it returns, the window stays.
void MainWindowBase::closeEvent(QCloseEvent* event) {
    if (events_ == nullptr) {
        QWidget::closeEvent(event);
        return;
    }
    events_->OnWindowClosing();
    event->ignore();
}

void MainWindowBase::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (events_ == nullptr) return;
    if (event->type() == QEvent::WindowStateChange) {
        events_->OnWindowStateChanged();
    } else if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        events_->OnWindowActivated();
    }
}

} // namespace tarnix
