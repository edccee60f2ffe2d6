#pragma once

#include <QDBusMessage>
#include <QString>

namespace tarnix {

// polkit's CheckAuthorization, whether the sender of a bus connection may take the watchdog's
// control action: polkit finds that process, its user and session itself, so nothing the sender
// says about itself is taken on trust. interactive: polkit may ask for a password.
QDBusMessage AuthorizationQuestion(const QString& busName, bool interactive);

// What polkit answered: whether it answered at all (why not, if not) and whether it allows.
struct AuthorizationAnswer {
    bool answered = false;
    bool authorized = false;
    QString why = {}; // when not answered
};
AuthorizationAnswer AnswerOf(const QDBusMessage& reply);

} // namespace tarnix
