#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <vector>

#include "common/display/MainWindowView.h"
#include "platform/UrlOpener.h"

namespace tarnix::testing {

// Records what a window hands to the program's logic.
struct FakeEvents : MainWindowEvents {
    enum class Kind { Click, Closing, StateChanged, TrayRestore, Activated };
    struct Event {
        Kind kind;
        Button button = Button::TestS;
        friend bool operator==(const Event&, const Event&) = default;
    };
    std::vector<Event> events;

    void OnButtonClicked(Button button) override { events.push_back({Kind::Click, button}); }
    void OnWindowClosing() override { events.push_back({Kind::Closing}); }
    void OnWindowStateChanged() override { events.push_back({Kind::StateChanged}); }
    void OnTrayRestoreRequested() override { events.push_back({Kind::TrayRestore}); }
    void OnWindowActivated() override { events.push_back({Kind::Activated}); }

    int Count(Kind kind) const {
        int n = 0;
        for (const Event& e : events)
            n += e.kind == kind ? 1 : 0;
        return n;
    }
};

// Hands every modal window that opens while it lives to `act`, which must close it; without
// that a modal loop under test would never return. Checks run from a zero-delay timer, so they
// happen inside the modal window's own event loop.
class ModalCloser {
public:
    explicit ModalCloser(std::function<void(QWidget*)> act) : act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) return;
            ++seen_;
            act_(modal);
        });
        timer_.start(0);
    }
    int Seen() const { return seen_; }

private:
    std::function<void(QWidget*)> act_;
    QTimer timer_;
    int seen_ = 0;
};

// An opener for windows whose browser never starts; none of these tests opens anything.
inline void NeverOpens(const std::string&, OpenDone done) {
    done(false);
}

// Runs the event loop until done() holds or the time is up; returns done().
inline bool RunEventsUntil(const std::function<bool()>& done, int milliseconds = 2000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// What a message box showed.
struct BoxSeen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttonCount = 0;
    Qt::TextFormat format = Qt::AutoText;
};

// Records the message box and answers it with the given button.
inline std::function<void(QWidget*)> AnswerBox(BoxSeen& seen, QMessageBox::StandardButton answer) {
    return [&seen, answer](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            modal->close();
            return;
        }
        seen = BoxSeen{box->windowTitle(), box->text(), box->icon(), static_cast<int>(box->buttons().size()),
                       box->textFormat()};
        if (answer == QMessageBox::NoButton) {
            box->close();
        } else {
            box->button(answer)->click();
        }
    };
}

} // namespace tarnix::testing
