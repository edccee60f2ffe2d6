#include "common/config/ConfigScreen.h"

#include "common/config/ConfigQueries.h"
#include "common/config/ConfigSchema.h"
#include "common/supervision/ShutType.h"

namespace tarnix {
namespace {

constexpr std::int16_t NormalCloseSeconds = 600;
constexpr std::int16_t InhibitedCloseSeconds = 4;
constexpr std::int16_t CloseMessageSeconds = 90;

ConfigTextBox AddressBox(std::size_t k) {
    return static_cast<ConfigTextBox>(static_cast<int>(ConfigTextBox::IPAddT) + static_cast<int>(k));
}

BoxText LogFileMissingBox() {
    return {" Log File Error",
            BoxIcon::Warning,
            {"The log file is either missing or", "corrupted. Delete the log file if",
             "it exists and restart the program.", ProgramWillTerminate}};
}

BoxText LogFolderMissingBox() {
    return {" Log Directory Error",
            BoxIcon::Warning,
            {"The log directory does not exist.", "This directory must be created manually",
             "if it is not the default one. To restore", "the default log directory reinstall",
             "the program.", ProgramWillTerminate}};
}

enum class Presence { Present, Missing, Unknown };

// A path that is not there (or is something else) is missing; a file system that cannot tell
// leaves it unknown.
Presence PresenceOf(const std::filesystem::path& path, bool folder) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return Presence::Missing;
    if (error) return Presence::Unknown;
    const bool right =
        folder ? std::filesystem::is_directory(status) : std::filesystem::is_regular_file(status);
    return right ? Presence::Present : Presence::Missing;
}

BoxText WithTerminationLine(BoxText box) {
    box.lines.emplace_back(ProgramWillTerminate);
    return box;
}

} // namespace

BoxText LogFileUnopenedBox(const std::string& logName) {
    return {" Log File Error",
            BoxIcon::Warning,
            {"Unable to opem the log file " + logName + ".", "This may be a permissions problem."}};
}

ConfigScreen::ConfigScreen(Setup setup, ConfigScreenView& view, MessageBoxes& boxes, ConfigScreenHost& host,
                           AuxWindowEvents& auxEvents, const Clock& clock, FolderExistsFn folderExists)
    : setup_(std::move(setup)), programTitle_(ProgramTitleOf(setup_.kind)), view_(view), boxes_(boxes),
      host_(host), auxEvents_(auxEvents), clock_(clock), folderExists_(std::move(folderExists)) {}

void ConfigScreen::Load() {
    const bool mayWrite = setup_.readOnlyNote.empty() && host_.IsAdministrator();
    saveEnabled_ = mayWrite;
    restoreEnabled_ = mayWrite;
    view_.SetButtonEnabled(ConfigButton::Save, saveEnabled_);
    view_.SetButtonEnabled(ConfigButton::Restore, restoreEnabled_);
    DataLoad();
    ShowLinkKeys();
    view_.SetTitle(programTitle_ + " Configuration");
    view_.SetCloseMessage("");
    auxEvents_.ConfigScreenLoaded(setup_.inhibitShutdown ? InhibitedCloseSeconds : NormalCloseSeconds);
    const int violations = ValidateFields();
    if (violations > 0)
        view_.SetStatusText(std::to_string(violations) + " Item(s) Highlighted Contain Out Of Range Values");
    else
        host_.SetConfigSaved(false);
    if (!setup_.readOnlyNote.empty()) view_.SetStatusText(setup_.readOnlyNote);
}

void ConfigScreen::DataLoad() {
    fields_ = ScreenValuesOf(setup_.kind, setup_.record);
    // A code the list does not have shows as no selection.
    logLevelItem_ = LogLevelItem(fields_.Of("LogLevel").code);
    fields_.Of("LogLevel").code = LogLevelCodeOf(logLevelItem_);
    shutNameItem_ = ShutTypeName(fields_.Of("ShutType").code);
    fields_.Of("ShutType").code = ShutTypeCodeOf(shutNameItem_);
    ShowFields();
    AddressModeRefresh();
    snapshot_ = fields_;
}

void ConfigScreen::ShowFields() {
    for (const ConfigField* field : FieldsOf(setup_.kind)) {
        if (field->screen.textBox) view_.SetFieldText(*field->screen.textBox, fields_.Of(*field).text);
        if (field->screen.checkBox) view_.SetChecked(*field->screen.checkBox, fields_.Of(*field).flag);
    }
    view_.SelectListItem(ConfigList::LogLevelT, logLevelItem_);
    view_.SelectListItem(ConfigList::ShutNameT, shutNameItem_);
}

void ConfigScreen::LabelReset() {
    for (ConfigLabel label : ResettableLabels(setup_.kind))
        view_.SetLabelStyle(label, colours::NormalLabelColour, false);
    view_.SetLabelCaption(ConfigLabel::ShutTypeM, "");
    AddressModeRefresh();
}

void ConfigScreen::AddressModeRefresh() {
    const bool domainNames = fields_.Of("DName").flag;
    view_.SetLabelCaption(ConfigLabel::IPAddL, AddressHeader(domainNames));
    if (setup_.kind == ProgramKind::Master) {
        for (std::size_t k = 1; k <= RemoteComputerCount; ++k)
            view_.SetFieldToolTip(AddressBox(k),
                                  AddressToolTip(setup_.kind, domainNames, static_cast<int>(k)));
    } else {
        view_.SetFieldToolTip(ConfigTextBox::IPAddT, AddressToolTip(setup_.kind, domainNames, 0));
        view_.SetLabelCaption(ConfigLabel::IPAddM, SlaveAddressHint(domainNames));
    }
}

void ConfigScreen::PowerActionRefresh() {
    fields_.Of("ShutType").code = ShutTypeCodeOf(shutNameItem_);
    view_.SetLabelCaption(ConfigLabel::ShutTypeM, ShutTypeDescription(fields_.Of("ShutType").code));
}

// The keys are read at start and at the re-initialisation after a save, so the screen shows
// those in force while it is open.
void ConfigScreen::ShowLinkKeys() {
    const bool master = setup_.kind == ProgramKind::Master;
    const int first = master ? 1 : 0, last = master ? RemoteComputerCount : 0;
    for (int link = first; link <= last; ++link)
        view_.SetLinkKeyed(link, setup_.linkKeyed[static_cast<std::size_t>(link)]);
}

void ConfigScreen::StartStatusTimer() {
    view_.SetStatusTimerRunning(true);
}

int ConfigScreen::ValidateFields() {
    LabelReset();
    PowerActionRefresh();
    if (!logLevelItem_.empty()) fields_.Of("LogLevel").code = LogLevelCodeOf(logLevelItem_);
    const FieldCheck check = CheckScreenFields(setup_.kind, fields_, folderExists_);
    for (ConfigLabel label : check.highlighted)
        view_.SetLabelStyle(label, colours::HighlightColour, true);
    // The slave's messages stay until the next Save or Restore.
    if (setup_.kind == ProgramKind::Master && setup_.readOnlyNote.empty()) StartStatusTimer();
    return check.violations;
}

std::string* ConfigScreen::TextOf(ConfigTextBox box) {
    for (const ConfigField* field : FieldsOf(setup_.kind))
        if (field->screen.textBox == box) return &fields_.Of(*field).text;
    return nullptr;
}

void ConfigScreen::OnTextEdited(ConfigTextBox box, const std::string& text) {
    if (std::string* field = TextOf(box)) *field = text;
}

void ConfigScreen::OnCheckClicked(ConfigCheckBox box, bool checked) {
    for (const ConfigField* field : FieldsOf(setup_.kind))
        if (field->screen.checkBox == box) fields_.Of(*field).flag = checked;
    // The address mode changes what the addresses' notes and tooltips say.
    if (box != ConfigCheckBox::DNameT || unloaded_) return;
    LabelReset();
    PowerActionRefresh();
}

// Choosing an item changes nothing else yet: the codes and the description follow at the next
// validation or address-mode click.
void ConfigScreen::OnListItemChosen(ConfigList list, const std::string& item) {
    (list == ConfigList::LogLevelT ? logLevelItem_ : shutNameItem_) = item;
}

void ConfigScreen::OnSaveClicked() {
    if (unloaded_ || !saveEnabled_) return;
    view_.SetStatusText("");
    if (ValidateFields() != 0) {
        view_.SetStatusText("Item(s) Highlighted Contain Out Of Range Values - Changes Not Saved");
        return;
    }
    // Field by field: moving characters from one field to the next is a change.
    const bool changed = fields_ != snapshot_;
    if (fields_.Of("StartMin").flag != StartsInTray(setup_.record)) host_.ClearWindowStateOverride();
    if (changed) {
        const WriteOutcome outcome =
            WriteConfiguration(setup_.configFile, setup_.kind, fields_, clock_.LocalNow());
        if (outcome.box && outcome.terminate) {
            EndWithBox(*outcome.box);
            return;
        }
        if (outcome.box) {
            // The program goes on after a failed save (the old file is intact).
            const BoxText box = WithoutTerminationLine(*outcome.box);
            boxes_.Show(programTitle_ + box.titleSuffix, box.lines, box.icon, BoxButtons::Ok);
            DataLoad();
            return;
        }
        view_.SetStatusText("Changes Saved - Click Close To Activate The Changes");
        host_.SetConfigSaved(true);
    } else {
        view_.SetStatusText("No Changes To Save");
    }
    snapshot_ = fields_;
    StartStatusTimer();
}

void ConfigScreen::OnRestoreClicked() {
    if (unloaded_ || !restoreEnabled_) return;
    RestoreDefaults(setup_.kind, fields_);
    logLevelItem_ = LogLevelItem(fields_.Of("LogLevel").code);
    shutNameItem_ = ShutTypeName(fields_.Of("ShutType").code);
    ShowFields();
    view_.SetStatusText("Defaults Restored - Click Save To Keep");
    StartStatusTimer();
}

void ConfigScreen::OnCloseClicked() {
    if (unloaded_) return;
    unloaded_ = true;
    view_.Unload();
    if (!host_.ConfigSaved() && !host_.Unconfigured()) {
        auxEvents_.ConfigScreenClosed();
        return;
    }
    reinitialiseWhenClosed_ = true;
}

void ConfigScreen::Closed() {
    if (!reinitialiseWhenClosed_) return;
    reinitialiseWhenClosed_ = false;
    host_.ReinitialiseAfterConfiguration();
}

// Uses the log settings in force, not the fields: the file shown is the one being written.
void ConfigScreen::OnViewLogClicked() {
    if (unloaded_) return;
    const ConfigRecord& r = setup_.record;
    if (!LogsNormal(r)) {
        boxes_.Show(programTitle_ + " Log File Error",
                    {"Logging is set to None. There", "is no information to display."}, BoxIcon::Information,
                    BoxButtons::Ok);
        return;
    }
    const std::filesystem::path folder = StoredPathToNative(r.LogPath);
    const std::filesystem::path file = StoredPathToNative(r.LogPath + r.LogName);
    // Another program's log (a service's): whether and how it opens is its host's to say, and
    // nothing here may end the program.
    if (!setup_.readOnlyNote.empty()) {
        (void)host_.OpenLogFile(file);
        return;
    }
    const Presence folderPresence = r.LogPath.empty() ? Presence::Missing : PresenceOf(folder, true);
    if (folderPresence == Presence::Missing) return EndWithBox(LogFolderMissingBox());
    const Presence filePresence =
        folderPresence == Presence::Present ? PresenceOf(file, false) : Presence::Unknown;
    if (filePresence == Presence::Missing) return EndWithBox(LogFileMissingBox());
    if (filePresence != Presence::Present || !host_.OpenLogFile(file))
        return EndWithBox(WithTerminationLine(LogFileUnopenedBox(r.LogName)));
}

void ConfigScreen::EndWithBox(const BoxText& box) {
    host_.StopSupervisionTimer();
    boxes_.Show(programTitle_ + box.titleSuffix, box.lines, box.icon, BoxButtons::Ok);
    host_.EndProgram();
}

void ConfigScreen::OnTimer1Tick() {
    const std::int16_t secondsLeft = auxEvents_.ConfigScreenSecond();
    if (secondsLeft <= CloseMessageSeconds)
        view_.SetCloseMessage("The Configuration Screen will close in " + std::to_string(secondsLeft) +
                              " sec");
}

void ConfigScreen::OnTimer2Tick() {
    view_.SetStatusText("");
    view_.SetStatusTimerRunning(false);
}

void ConfigScreen::OnActivated() {
    if (RunsOnTop(setup_.record)) view_.KeepOnTop();
}

} // namespace tarnix
