#include "platform/UrlOpener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace tarnix {

namespace {

// xdg-open first: it follows the desktop's own choice on every desktop and works without a
// GUI platform plugin (the offscreen plugin cannot open anything).
bool StartXdgOpen(const QString& argument) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (program.isEmpty()) return false;
    // An argument list, never a shell line: a URL or a path is passed as one argument as is.
    return QProcess::startDetached(program, {argument});
}

bool OpenWithDesktopServices(const QUrl& url) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;
    return QDesktopServices::openUrl(url);
}

} // namespace

bool OpenUrlInBrowser(const std::string& url) {
    const QString text = QString::fromStdString(url);
    if (text.isEmpty()) return false;
    return StartXdgOpen(text) || OpenWithDesktopServices(QUrl(text));
}

bool OpenFileInEditor(const std::string& path) {
    const QFileInfo file(QString::fromStdString(path));
    if (path.empty() || !file.isFile()) return false;
    const QString absolute = file.absoluteFilePath();
    return StartXdgOpen(absolute) || OpenWithDesktopServices(QUrl::fromLocalFile(absolute));
}

} // namespace tarnix
