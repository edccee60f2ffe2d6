#include "desktop/ui/OpenWebPage.h"

#include <QCoreApplication>
#include <QPointer>
#include <exception>
#include <optional>
#include <system_error>

#include "desktop/ui/QtMessageBoxes.h"

namespace tarnix {
namespace {

struct CaughtError {
    long number = 0;
    std::string description;
};

} // namespace

void OpenWebPage(QWidget* owner, const std::string& programTitle, const UrlOpenFn& openUrl) {
    std::optional<CaughtError> error;
    const QPointer<QWidget> boxOwner(owner);
    OpenDone reportFailure = [boxOwner, programTitle](bool opened) {
        if (opened) return;
        ShowMessageBox(boxOwner.data(), programTitle + " Error", {"Unable to launch Browser."}, BoxIcon::None,
                       BoxButtons::Ok);
    };
    try {
        // Let a click that is still being handled finish before the browser takes the screen.
        QCoreApplication::processEvents();
        openUrl(MakerWebAddress, std::move(reportFailure));
    } catch (const std::system_error& e) {
        error = CaughtError{e.code().value(), e.what()};
    } catch (const std::exception& e) {
        error = CaughtError{0, e.what()};
    } catch (...) {
        error = CaughtError{0, "Unknown error"};
    }
    if (error) ProgramErrorBox(owner, programTitle, error->number, error->description);
}

void ProgramErrorBox(QWidget* owner, const std::string& programTitle, long number,
                     const std::string& description) {
    ShowMessageBox(owner, programTitle + " Error",
                   {"A program error has occured", "Error Number: " + std::to_string(number),
                    "Error description: " + description},
                   BoxIcon::None, BoxButtons::Ok);
}

} // namespace tarnix
