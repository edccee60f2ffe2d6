#include "desktop/ui/frmConfig.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "common/config/ConfigSchema.h"
#include "common/config/ConfigScreenRules.h"
#include "common/link/PeerKey.h"
#include "common/program/ProgramNames.h"
#include "desktop/ui/Artwork.h"
#include "desktop/ui/ClickLabel.h"
#include "desktop/ui/ControlStyle.h"

namespace tarnix {
namespace {

const char* Pick(ProgramKind kind, const char* master, const char* slave) {
    return kind == ProgramKind::Master ? master : slave;
}

QString Caption(const char* text) {
    return QString::fromUtf8(text);
}

// The caption a screen reader gives an input: its label's, without the trailing colon.
QString AccessibleFromLabel(QString caption) {
    caption = caption.trimmed();
    if (caption.endsWith(QLatin1Char(':'))) caption.chop(1);
    return caption;
}

// The range note beside a field, as the configuration's schema gives it.
std::string Hint(std::string_view key) {
    return HintOf(*FindField(key));
}

template <typename Enum> Enum Offset(Enum first, int k) {
    return static_cast<Enum>(static_cast<int>(first) + k);
}

} // namespace

frmConfig::frmConfig(ProgramKind kind, UrlOpenFn openUrl, QWidget* parent)
    : QDialog(parent), kind_(kind), programTitle_(ProgramTitleOf(kind)), openUrl_(std::move(openUrl)) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setWindowIcon(ProgramIcon());
    setWindowTitle(QString::fromStdString(programTitle_ + " Configuration"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateCommunications());
    layout->addWidget(CreateGeneral());
    layout->addWidget(CreateShutdown());
    layout->addWidget(CreateFooter());
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed dialog
    // Numbers and list choices are short; their boxes need not span the column.
    for (ConfigTextBox number : {ConfigTextBox::Port1T, ConfigTextBox::Port2T, ConfigTextBox::CPUDelayT,
                                 ConfigTextBox::StartDelayT, ConfigTextBox::ShutTimeT})
        textBoxes_[number]->setMaximumWidth(80);
    for (auto& [id, list] : lists_)
        list->setMaximumWidth(160);
    textBoxes_[ConfigTextBox::LogNameT]->setMinimumWidth(200);
    textBoxes_[ConfigTextBox::LogPathT]->setMinimumWidth(200);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, [this] { Forward([](auto& e) { e.OnTimer1Tick(); }); });
    timer1_->start();
    timer2_ = new QTimer(this);
    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setInterval(2000);
    connect(timer2_, &QTimer::timeout, this, [this] { Forward([](auto& e) { e.OnTimer2Tick(); }); });
}

// ---- Controls

QLabel* frmConfig::PlainLabel(const char* caption) {
    auto* label = new QLabel(Caption(caption), this);
    SetControlForeground(label, colours::NormalLabelColour);
    return label;
}

QLabel* frmConfig::AddLabel(ConfigLabel id, const char* name, const char* caption) {
    QLabel* label = PlainLabel(caption);
    label->setObjectName(QString::fromLatin1(name));
    labels_[id] = label;
    return label;
}

// Whether the link is keyed; the logic says which, until then it shows "Not keyed".
QLabel* frmConfig::AddKeyLabel(int link) {
    QLabel* label = PlainLabel("");
    label->setObjectName(QStringLiteral("KeyM%1").arg(link));
    keyLabels_[link] = label;
    SetLinkKeyed(link, false);
    return label;
}

QLineEdit* frmConfig::AddTextBox(ConfigTextBox id, const char* name, const QString& label,
                                 const char* toolTip) {
    auto* box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(AccessibleFromLabel(label));
    box->setToolTip(Caption(toolTip));
    box->setAccessibleDescription(Caption(toolTip));
    // textEdited, not textChanged: what the logic sets is not reported back as an edit. A text
    // set any other way (an assistive tool, another program) is reported before a Save.
    connect(box, &QLineEdit::textEdited, this, [this, id](const QString& text) {
        known_[id] = text;
        Forward([&](auto& e) { e.OnTextEdited(id, text.toStdString()); });
    });
    textBoxes_[id] = box;
    return box;
}

QCheckBox* frmConfig::AddCheckBox(ConfigCheckBox id, const char* name, const char* label,
                                  const char* toolTip) {
    auto* box = new QCheckBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(AccessibleFromLabel(Caption(label)));
    box->setToolTip(Caption(toolTip));
    box->setAccessibleDescription(Caption(toolTip));
    connect(box, &QCheckBox::clicked, this,
            [this, id](bool checked) { Forward([&](auto& e) { e.OnCheckClicked(id, checked); }); });
    checkBoxes_[id] = box;
    return box;
}

QComboBox* frmConfig::AddList(ConfigList id, const char* name, const char* label, const char* toolTip,
                              const QStringList& items) {
    auto* list = new QComboBox(this);
    list->setObjectName(QString::fromLatin1(name));
    list->addItems(items);
    list->setCurrentIndex(-1);
    list->setAccessibleName(AccessibleFromLabel(Caption(label)));
    list->setToolTip(Caption(toolTip));
    list->setAccessibleDescription(Caption(toolTip));
    connect(list, &QComboBox::activated, this, [this, id, list](int index) {
        Forward([&](auto& e) { e.OnListItemChosen(id, list->itemText(index).toStdString()); });
    });
    lists_[id] = list;
    return list;
}

QPushButton* frmConfig::AddButton(const char* name, const char* caption, const char* toolTip) {
    auto* button = new QPushButton(Caption(caption), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setAccessibleName(Caption(caption));
    button->setToolTip(Caption(toolTip));
    button->setAccessibleDescription(Caption(toolTip));
    return button;
}

QWidget* frmConfig::PortsRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const bool master = kind_ == ProgramKind::Master;
    layout->addWidget(PlainLabel("TX:"));
    layout->addWidget(
        AddTextBox(ConfigTextBox::Port1T, "Port1T", QStringLiteral("TX:"),
                   master ? "TX Port used to communicate with Slave - only change this if there is a "
                            "clash with another program"
                          : "TX Port used for communications with Master - only change this if "
                            "there is a clash with another program"));
    layout->addWidget(PlainLabel("RX:"));
    layout->addWidget(
        AddTextBox(ConfigTextBox::Port2T, "Port2T", QStringLiteral("RX:"),
                   master ? "Rx Port used to communicate with Slave - only change this if there is a "
                            "clash with another program"
                          : "RX Port used for communications with Master - only change this if "
                            "there is a clash with another program"));
    layout->addWidget(AddLabel(ConfigLabel::Port1M, "Port1M", Hint("Port1").c_str()));
    layout->addStretch();
    textBoxes_[ConfigTextBox::Port1T]->setAccessibleName(QStringLiteral("TX Port"));
    textBoxes_[ConfigTextBox::Port2T]->setAccessibleName(QStringLiteral("RX Port"));
    return row;
}

QWidget* frmConfig::CreateCommunications() {
    auto* group = new QGroupBox(QStringLiteral("Communications"), this);
    group->setObjectName(QStringLiteral("Communications"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(PlainLabel("Domain Name:"), 0, 0);
    grid->addWidget(AddCheckBox(ConfigCheckBox::DNameT, "DNameT",
                                "Domain Name:", "Check to enter domain name instead of IP address"),
                    0, 1);
    if (kind_ == ProgramKind::Master) {
        grid->addWidget(AddLabel(ConfigLabel::CompL, "CompL", "Computer Name"), 1, 1);
        grid->addWidget(AddLabel(ConfigLabel::IPAddL, "IPAddL", "IP address"), 1, 2);
        grid->addWidget(PlainLabel("Key"), 1, 3);
        grid->addWidget(AddLabel(ConfigLabel::IPAddM0, "IPAddM0", "Local Computer:"), 2, 0);
        grid->addWidget(AddTextBox(ConfigTextBox::CompT0, "CompT0", QStringLiteral("Local Computer:"),
                                   "Name of Local Computer (Must be set and be no more than 25 characters)"),
                        2, 1);
        for (int k = 1; k <= RemoteComputerCount; ++k) {
            const std::string row = "Remote Computer " + std::to_string(k) + ":";
            const std::string tip =
                "Name of Remote Computer " + std::to_string(k) + " (no more than 25 characters)";
            const std::string rowName = "IPAddM" + std::to_string(k);
            const std::string compName = "CompT" + std::to_string(k);
            const std::string addressName = "IPAddT" + std::to_string(k);
            grid->addWidget(AddLabel(Offset(ConfigLabel::IPAddM0, k), rowName.c_str(), row.c_str()), 2 + k,
                            0);
            grid->addWidget(AddTextBox(Offset(ConfigTextBox::CompT0, k), compName.c_str(),
                                       QString::fromStdString(row), tip.c_str()),
                            2 + k, 1);
            grid->addWidget(AddTextBox(Offset(ConfigTextBox::IPAddT, k), addressName.c_str(), QString(), ""),
                            2 + k, 2);
            grid->addWidget(AddKeyLabel(k), 2 + k, 3);
        }
        // The ports follow the local computer's row and the remote computers' rows.
        const int portsRow = 3 + RemoteComputerCount;
        grid->addWidget(PlainLabel("Port:"), portsRow, 0);
        grid->addWidget(PortsRow(), portsRow, 1, 1, 2);
    } else {
        grid->addWidget(AddLabel(ConfigLabel::IPAddL, "IPAddL", "IP Address:"), 1, 0);
        grid->addWidget(AddTextBox(ConfigTextBox::IPAddT, "IPAddT", QStringLiteral("IP Address:"), ""), 1, 1);
        grid->addWidget(AddLabel(ConfigLabel::IPAddM, "IPAddM", SlaveAddressHint(false).c_str()), 1, 2);
        grid->addWidget(PlainLabel("Ports:"), 2, 0);
        grid->addWidget(PortsRow(), 2, 1, 1, 2);
        grid->addWidget(PlainLabel("Key:"), 3, 0);
        grid->addWidget(AddKeyLabel(0), 3, 1);
    }
    RenameAddressBoxes();
    return group;
}

QWidget* frmConfig::CreateGeneral() {
    auto* group = new QGroupBox(QStringLiteral("General"), this);
    group->setObjectName(QStringLiteral("General"));
    auto* grid = new QGridLayout(group);
    const bool master = kind_ == ProgramKind::Master;
    int row = 0;
    const auto addRow = [&](const char* caption, QWidget* input, QWidget* hint) {
        grid->addWidget(PlainLabel(caption), row, 0);
        grid->addWidget(input, row, 1, Qt::AlignLeft);
        if (hint != nullptr) grid->addWidget(hint, row, 2);
        ++row;
    };
    addRow("Lost Comms Delay:",
           AddTextBox(ConfigTextBox::CPUDelayT, "CPUDelayT", QStringLiteral("Lost Comms Delay:"),
                      Pick(kind_, "Time for communications to be lost before shutdown initiated",
                           "Time for communications to be lost before shutdown is initiated")),
           AddLabel(ConfigLabel::CPUDelayM, "CPUDelayM", Hint("CPUDelay").c_str()));
    grid->itemAtPosition(0, 0)->widget()->setObjectName(QStringLiteral("CPUDelayL"));
    addRow("Activate After:",
           AddTextBox(ConfigTextBox::StartDelayT, "StartDelayT", QStringLiteral("Activate After:"),
                      "Delay after startup before program is activated"),
           AddLabel(ConfigLabel::StartDelayM, "StartDelayM", Hint("StartDelay").c_str()));
    const char* onTop = master ? "Run On Top:" : " Run On Top:";
    addRow(onTop,
           AddCheckBox(ConfigCheckBox::RunOnTopT, "RunOnTopT", onTop,
                       "Set program to Run On Top (Run in System Tray takes priority)"),
           nullptr);
    const char* inTray = master ? "Run In System Tray:" : "Run in System Tray:";
    addRow(inTray,
           AddCheckBox(
               ConfigCheckBox::StartMinT, "StartMinT", inTray,
               Pick(kind_, "Set program to Run Minimised in System Tray (takes priority over Run On Top)",
                    "Set program to Run Minimised in the System Tray (takes priority over Run On Top)")),
           nullptr);
    addRow("Log Level:",
           AddList(ConfigList::LogLevelT, "LogLevelT", "Log Level:", "Log level",
                   {QStringLiteral("Full"), QStringLiteral("None"), QStringLiteral("Normal")}),
           AddLabel(ConfigLabel::LogLevelM, "LogLevelM", Hint("LogLevel").c_str()));
    addRow("Log File Name:",
           AddTextBox(ConfigTextBox::LogNameT, "LogNameT", QStringLiteral("Log File Name:"), "Log file name"),
           AddLabel(ConfigLabel::LogNameM, "LogNameM", Hint("LogName").c_str()));
    addRow("Path To Log File:",
           AddTextBox(ConfigTextBox::LogPathT, "LogPathT", QStringLiteral("Path To Log File:"),
                      "Path to log file (either an absolute path or relative to the Program Directory)"),
           AddLabel(ConfigLabel::LogPathM, "LogPathM", Hint("LogPath").c_str()));
    QPushButton* viewLog = AddButton("ViewL", "View Log",
                                     Pick(kind_, "View Tarnix log file (Iit will not be updated while open)",
                                          "View Tarnix Slave log file (Iit will not be updated while open)"));
    connect(viewLog, &QPushButton::clicked, this, [this] { Forward([](auto& e) { e.OnViewLogClicked(); }); });
    grid->addWidget(viewLog, row, 1, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
    return group;
}

QWidget* frmConfig::CreateShutdown() {
    auto* group = new QGroupBox(QStringLiteral("Shutdown"), this);
    group->setObjectName(QStringLiteral("Shutdown"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(PlainLabel("Shut Down Time:"), 0, 0);
    grid->addWidget(AddTextBox(ConfigTextBox::ShutTimeT, "ShutTimeT", QStringLiteral("Shut Down Time:"),
                               "Time before shutdown occurs after the shutdown sequence has started"),
                    0, 1);
    grid->addWidget(AddLabel(ConfigLabel::ShutTimeM, "ShutTimeM", Hint("ShutTime").c_str()), 0, 2);
    grid->addWidget(PlainLabel("Shut Down Type:"), 1, 0);
    grid->addWidget(
        AddList(ConfigList::ShutNameT, "ShutNameT", "Shut Down Type:", "Type of Shutdown",
                {QStringLiteral("Hibernate"), QStringLiteral("Monitor"), QStringLiteral("Power Off"),
                 QStringLiteral("Reboot"), QStringLiteral("Shutdown"), QStringLiteral("Standby")}),
        1, 1);
    grid->addWidget(AddLabel(ConfigLabel::ShutTypeM, "ShutTypeM", ""), 2, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    for (int row = 0; row < 2; ++row)
        grid->itemAtPosition(row, 1)->setAlignment(Qt::AlignLeft);
    return group;
}

QWidget* frmConfig::CreateFooter() {
    auto* footer = new QWidget(this);
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* logo = new ClickLabel(footer);
    logo->setObjectName(QStringLiteral("Logo"));
    logo->setPixmap(DrawLogo(QSize(120, 40)));
    logo->setAccessibleName(QString::fromLatin1(MakerWebAddressText));
    connect(logo, &ClickLabel::clicked, this, [this] { OpenWebPage(this, programTitle_, openUrl_); });
    layout->addWidget(logo);

    auto* messages = new QVBoxLayout;
    status_ = new QLabel(footer);
    status_->setObjectName(QStringLiteral("Status"));
    message_ = new QLabel(footer);
    message_->setObjectName(QStringLiteral("TMessage"));
    for (QLabel* label : {status_, message_}) {
        SetControlForeground(label, colours::Orange);
        label->setMinimumWidth(360);
        messages->addWidget(label);
    }
    layout->addLayout(messages, 1);

    QPushButton* save =
        AddButton("Save", "Save",
                  Pick(kind_,
                       "Save Tarnix Configuration Values (The program will be reset when you close "
                       "this form if values changed)",
                       "Save Tarnix Slave Configuration Values (The program will be reset when you "
                       "close this form if values changed)"));
    QPushButton* restore =
        AddButton("Restore", "Restore",
                  Pick(kind_,
                       "RestoreTarnix Configuration Default Values (Does not restore or delete "
                       "any Computer Name or Address set)",
                       "Restore Tarnix Slave Configuration Default Values (Does not restore or "
                       "delete any computer address set)"));
    QPushButton* close = AddButton(
        "ExitConfig", "Close",
        Pick(kind_, "Close Tarnix Configuration Screen", "Close Tarnix Slave Configuration Screen"));
    save->setEnabled(false); // until the administrator test passes
    restore->setEnabled(false);
    buttons_[ConfigButton::Save] = save;
    buttons_[ConfigButton::Restore] = restore;
    connect(save, &QPushButton::clicked, this, [this] {
        ReportUnheardTexts();
        Forward([](auto& e) { e.OnSaveClicked(); });
    });
    connect(restore, &QPushButton::clicked, this, [this] { Forward([](auto& e) { e.OnRestoreClicked(); }); });
    connect(close, &QPushButton::clicked, this, [this] { Forward([](auto& e) { e.OnCloseClicked(); }); });
    for (QPushButton* button : {save, restore, close})
        layout->addWidget(button);
    return footer;
}

// The address boxes have no label of their own: they are named after their column and row.
void frmConfig::RenameAddressBoxes() {
    const QString column = AccessibleFromLabel(labels_[ConfigLabel::IPAddL]->text());
    if (kind_ == ProgramKind::Slave) {
        textBoxes_[ConfigTextBox::IPAddT]->setAccessibleName(column);
        return;
    }
    for (int k = 1; k <= RemoteComputerCount; ++k)
        textBoxes_[Offset(ConfigTextBox::IPAddT, k)]->setAccessibleName(
            QStringLiteral("%1 of Remote Computer %2").arg(column).arg(k));
}

// ---- What the logic shows

void frmConfig::SetTitle(const std::string& text) {
    setWindowTitle(QString::fromStdString(text));
}

void frmConfig::SetFieldText(ConfigTextBox box, const std::string& text) {
    if (auto it = textBoxes_.find(box); it != textBoxes_.end()) {
        SetControlText(it->second, text);
        known_[box] = it->second->text();
    }
}

// Save checks and writes what the boxes show, however their texts got there.
void frmConfig::ReportUnheardTexts() {
    for (const auto& [id, box] : textBoxes_) {
        const QString shown = box->text();
        if (shown == known_[id]) continue;
        known_[id] = shown;
        Forward([&, id = id](auto& e) { e.OnTextEdited(id, shown.toStdString()); });
    }
}

void frmConfig::SetFieldToolTip(ConfigTextBox box, const std::string& text) {
    if (auto it = textBoxes_.find(box); it != textBoxes_.end()) {
        it->second->setToolTip(QString::fromStdString(text));
        it->second->setAccessibleDescription(QString::fromStdString(text));
    }
}

void frmConfig::SetChecked(ConfigCheckBox box, bool checked) {
    checkBoxes_.at(box)->setChecked(checked);
}

void frmConfig::SelectListItem(ConfigList list, const std::string& item) {
    QComboBox* box = lists_.at(list);
    box->setCurrentIndex(item.empty() ? -1 : box->findText(QString::fromStdString(item)));
}

void frmConfig::SetLabelCaption(ConfigLabel label, const std::string& text) {
    if (auto it = labels_.find(label); it != labels_.end()) {
        it->second->setText(QString::fromStdString(text));
        if (label == ConfigLabel::IPAddL) RenameAddressBoxes();
    }
}

void frmConfig::SetLabelStyle(ConfigLabel label, Colour colour, bool bold) {
    if (auto it = labels_.find(label); it != labels_.end()) {
        SetControlForeground(it->second, colour);
        SetControlBold(it->second, bold);
    }
}

void frmConfig::SetButtonEnabled(ConfigButton button, bool enabled) {
    buttons_.at(button)->setEnabled(enabled);
}

void frmConfig::SetLinkKeyed(int link, bool keyed) {
    const auto it = keyLabels_.find(link);
    if (it == keyLabels_.end()) return;
    const QString caption = keyed ? QStringLiteral("Keyed") : QStringLiteral("Not keyed");
    const std::string files = link == 0 ? SlaveKeyFile().string()
                                        : MasterKeyFile(link).string() + " or " + MasterKeyFile(0).string();
    const QString toolTip =
        keyed ? QStringLiteral("Datagrams on this link carry a tag made with the shared key file")
              : QString::fromStdString("Datagrams on this link carry no tag: there is no key file " + files);
    it->second->setText(caption);
    it->second->setAccessibleName(caption);
    it->second->setToolTip(toolTip);
    it->second->setAccessibleDescription(toolTip);
}

void frmConfig::SetStatusText(const std::string& text) {
    status_->setText(QString::fromStdString(text));
}

void frmConfig::SetCloseMessage(const std::string& text) {
    message_->setText(QString::fromStdString(text));
}

void frmConfig::SetStatusTimerRunning(bool running) {
    if (running)
        timer2_->start();
    else
        timer2_->stop();
}

void frmConfig::KeepOnTop() {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint)) return;
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    show(); // changing the flags hides the window
    setAttribute(Qt::WA_ShowWithoutActivating, false);
}

void frmConfig::Unload() {
    unloading_ = true;
    done(QDialog::Rejected);
}

// ---- Closing

void frmConfig::done(int result) {
    unloading_ = true;
    timer1_->stop();
    timer2_->stop();
    QDialog::done(result);
}

// Escape is the Close button.
void frmConfig::reject() {
    if (!unloading_ && events_ != nullptr) {
        events_->OnCloseClicked();
        return;
    }
    QDialog::reject();
}

// The close box is the Close button. The automatic close goes through Unload(), which closes
// the dialog without a close event.
void frmConfig::closeEvent(QCloseEvent* event) {
    if (!unloading_ && events_ != nullptr) {
        event->ignore();
        events_->OnCloseClicked();
        return;
    }
    unloading_ = true;
    QDialog::closeEvent(event);
}

void frmConfig::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Forward([](auto& e) { e.OnActivated(); });
}

} // namespace tarnix
