#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "common/config/ConfigRecord.h"
#include "desktop/ui/OpenWebPage.h"

namespace tarnix {

// The lines of the instance notice, as the program shows them.
std::vector<std::string> InstanceNoticeLines(ProgramKind kind);

// Shows the notice on its own; OK or closing it ends the process at once.
void ShowInstanceNotice(ProgramKind kind);

// The notice shown instead of the main window when another master or slave already runs on this
// computer. It is the only window of its process: OK, or closing it, ends the program.
class MultiInst final : public QWidget {
    Q_OBJECT
public:
    // endProgram ends the process; when empty, the application's event loop is left.
    MultiInst(ProgramKind kind, UrlOpenFn openUrl, std::function<void()> endProgram = {},
              QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void EndProgram();

    std::string programTitle_;
    UrlOpenFn openUrl_;
    std::function<void()> endProgram_;
    bool ending_ = false;
};

} // namespace tarnix
