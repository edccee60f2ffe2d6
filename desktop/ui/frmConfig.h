#pragma once

#include <QDialog>
#include <QString>
#include <map>

#include "common/config/ConfigRecord.h"
#include "common/config/ConfigScreenView.h"
#include "desktop/ui/OpenWebPage.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tarnix {

// The configuration screen's dialog. It shows what ConfigScreen tells it and reports the user's
// edits, clicks and its two timers' ticks; its own close box and Escape are the Close button.
// The main window's automatic close calls Unload(), which closes without re-initialising.
class frmConfig final : public QDialog, public ConfigScreenView {
    Q_OBJECT
public:
    frmConfig(ProgramKind kind, UrlOpenFn openUrl, QWidget* parent = nullptr);

    // Connect before Load(); events before that are dropped.
    void SetEvents(ConfigScreenEvents* events) { events_ = events; }

    void SetTitle(const std::string& text) override;
    void SetFieldText(ConfigTextBox box, const std::string& text) override;
    void SetFieldToolTip(ConfigTextBox box, const std::string& text) override;
    void SetChecked(ConfigCheckBox box, bool checked) override;
    void SelectListItem(ConfigList list, const std::string& item) override;
    void SetLabelCaption(ConfigLabel label, const std::string& text) override;
    void SetLabelStyle(ConfigLabel label, Colour colour, bool bold) override;
    void SetButtonEnabled(ConfigButton button, bool enabled) override;
    void SetLinkKeyed(int link, bool keyed) override;
    void SetStatusText(const std::string& text) override;
    void SetCloseMessage(const std::string& text) override;
    void SetStatusTimerRunning(bool running) override;
    void KeepOnTop() override;
    void Unload() override;

    void reject() override;
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* CreateCommunications();
    QWidget* CreateGeneral();
    QWidget* CreateShutdown();
    QWidget* CreateFooter();
    QLabel* AddLabel(ConfigLabel label, const char* name, const char* caption);
    QLabel* PlainLabel(const char* caption);
    QLabel* AddKeyLabel(int link);
    QLineEdit* AddTextBox(ConfigTextBox box, const char* name, const QString& label, const char* toolTip);
    QCheckBox* AddCheckBox(ConfigCheckBox box, const char* name, const char* label, const char* toolTip);
    QComboBox* AddList(ConfigList list, const char* name, const char* label, const char* toolTip,
                       const QStringList& items);
    QPushButton* AddButton(const char* name, const char* caption, const char* toolTip);
    QWidget* PortsRow();
    void RenameAddressBoxes();
    void ReportUnheardTexts();
    template <typename F> void Forward(F&& call) {
        if (events_ != nullptr && !unloading_) call(*events_);
    }

    ProgramKind kind_;
    std::string programTitle_;
    UrlOpenFn openUrl_;
    ConfigScreenEvents* events_ = nullptr;
    bool unloading_ = false;
    std::map<ConfigTextBox, QLineEdit*> textBoxes_;
    std::map<ConfigTextBox, QString> known_; // what the logic holds: what it set or heard typed
    std::map<ConfigCheckBox, QCheckBox*> checkBoxes_;
    std::map<ConfigList, QComboBox*> lists_;
    std::map<ConfigLabel, QLabel*> labels_;
    std::map<ConfigButton, QPushButton*> buttons_;
    std::map<int, QLabel*> keyLabels_; // by link
    QLabel* status_ = nullptr;
    QLabel* message_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
};

} // namespace tarnix
