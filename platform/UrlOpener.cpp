#include "platform/UrlOpener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace tarnix {

namespace {

// The answer always comes from the event loop, whether the opener ran or not, so callers
// handle one order of events only.
void ReportLater(OpenDone done, bool opened) {
    QTimer::singleShot(0, QCoreApplication::instance(), [done = std::move(done), opened] {
        if (done) done(opened);
    });
}

// xdg-open first: it follows the desktop's own choice on every desktop and works without a
// GUI platform plugin (the offscreen plugin cannot open anything). Its exit status tells
// whether a handler was found and started.
bool StartXdgOpen(const QString& argument, OpenDone& done) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (program.isEmpty()) return false;
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(program);
    // An argument list, never a shell line: a URL or a path is passed as one argument as is.
    process->setArguments({argument});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, done](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (done) done(status == QProcess::NormalExit && exitCode == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         process->deleteLater();
                         if (done) done(false);
                     });
    process->start();
    return true;
}

bool OpenWithDesktopServices(const QUrl& url) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;
    return QDesktopServices::openUrl(url);
}

void Open(const QString& argument, const QUrl& url, OpenDone done) {
    if (StartXdgOpen(argument, done)) return;
    ReportLater(std::move(done), OpenWithDesktopServices(url));
}

} // namespace

void OpenUrlInBrowser(const std::string& url, OpenDone done) {
    const QString text = QString::fromStdString(url);
    if (text.isEmpty()) return ReportLater(std::move(done), false);
    Open(text, QUrl(text), std::move(done));
}

void OpenFileInEditor(const std::string& path, OpenDone done) {
    const QFileInfo file(QString::fromStdString(path));
    if (path.empty() || !file.isFile()) return ReportLater(std::move(done), false);
    const QString absolute = file.absoluteFilePath();
    Open(absolute, QUrl::fromLocalFile(absolute), std::move(done));
}

} // namespace tarnix
