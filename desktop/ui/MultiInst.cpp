#include "desktop/ui/MultiInst.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

#include "common/program/MessageBox.h"
#include "common/program/ProgramNames.h"
#include "desktop/ui/Artwork.h"
#include "desktop/ui/ClickLabel.h"
#include "platform/UrlOpener.h"

namespace tarnix {

std::vector<std::string> InstanceNoticeLines(ProgramKind kind) {
    const std::string title = ProgramTitleOf(kind);
    // Both lines name the master and the slave: the slave's title less " Slave" is the
    // master's, and the master's title plus " Slave" is the slave's.
    const std::string other = kind == ProgramKind::Master
                                  ? title + " Slave"
                                  : title.substr(0, title.size() - std::string(" Slave").size());
    const std::string lastLine =
        kind == ProgramKind::Master ? "be running at a time" : "be running at a time.";
    return {title + " or " + other, " is already running.", "Only one instance can", lastLine};
}

MultiInst::MultiInst(ProgramKind kind, UrlOpenFn openUrl, std::function<void()> endProgram, QWidget* parent)
    : QWidget(parent), programTitle_(ProgramTitleOf(kind)), openUrl_(std::move(openUrl)),
      endProgram_(std::move(endProgram)) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    setFixedSize(300, 140);
    setFont(QFont(QStringLiteral("Arial"), 8));
    setWindowTitle(QString::fromStdString(programTitle_ + " Start Up Error"));
    setWindowIcon(ProgramIcon());

    auto* logo = new ClickLabel(this);
    logo->setObjectName(QStringLiteral("Logo"));
    logo->setGeometry(10, 10, 57, 29);
    logo->setPixmap(DrawLogo(logo->size()));
    connect(logo, &ClickLabel::clicked, this, [this] { OpenWebPage(this, programTitle_, openUrl_); });

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(22, 56, 32, 32);
    image->setPixmap(DrawNoticeImage(image->size()));

    const BoxText text{.titleSuffix = {}, .icon = BoxIcon::None, .lines = InstanceNoticeLines(kind)};
    auto* message = new QLabel(QString::fromStdString(text.Message()), this);
    message->setObjectName(QStringLiteral("ErrorMess"));
    message->setTextFormat(Qt::PlainText);
    message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    message->setGeometry(80, 44, 210, 64);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Exit"));
    ok->setToolTip(QStringLiteral("Exit"));
    ok->setGeometry(215, 108, 75, 24);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &MultiInst::EndProgram);
}

void MultiInst::EndProgram() {
    if (ending_) return;
    ending_ = true;
    if (endProgram_) {
        endProgram_();
    } else {
        QCoreApplication::exit(0);
    }
}

void MultiInst::closeEvent(QCloseEvent* event) {
    EndProgram();
    event->accept();
}

void ShowInstanceNotice(ProgramKind kind) {
    auto* notice = new MultiInst(kind, OpenUrlInBrowser, [] {
        std::fflush(nullptr);
        std::_Exit(0);
    });
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->show();
}

} // namespace tarnix
