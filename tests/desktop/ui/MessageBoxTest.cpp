#include <gtest/gtest.h>
#include <stdexcept>
#include <system_error>

#include "desktop/ui/OpenWebPage.h"
#include "desktop/ui/QtMessageBoxes.h"
#include "desktop/ui/UiTestSupport.h"

namespace tarnix {
namespace {

using testing::AnswerBox;
using testing::BoxSeen;
using testing::ModalCloser;

TEST(OpenWebPage, AStartedBrowserShowsNoBox) {
    std::string asked;
    BoxSeen seen;
    ModalCloser closer(AnswerBox(seen, QMessageBox::Ok));
    OpenWebPage(nullptr, "Tarnix", [&](const std::string& url, OpenDone done) {
        asked = url;
        QTimer::singleShot(0, [done] { done(true); });
    });
    testing::RunEventsUntil([] { return false; }, 50);
    EXPECT_EQ(asked, "https://tarnix.example.org");
    EXPECT_EQ(closer.Seen(), 0);
}

TEST(OpenWebPage, FailuresAreReportedInABoxAndTheProgramGoesOn) {
    struct Case {
        const char* what;
        UrlOpenFn opener;
        const char* title;
        QString text;
    };
    const Case cases[] = {
        {"no browser", [](const std::string&, OpenDone done) { done(false); }, "Tarnix Slave",
         "Unable to launch Browser."},
        // The opener ran but failed, which is known only once it has ended.
        {"failing opener",
         [](const std::string&, OpenDone done) { QTimer::singleShot(20, [done] { done(false); }); },
         "Tarnix Slave", "Unable to launch Browser."},
        {"system error",
         [](const std::string&, OpenDone) {
             throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory), "xdg-open");
         },
         "Tarnix",
         "A program error has occured\r\nError Number: 2\r\nError description: xdg-open: " +
             QString::fromStdString(std::make_error_code(std::errc::no_such_file_or_directory).message())},
        {"other error", [](const std::string&, OpenDone) { throw std::runtime_error("no display"); },
         "Tarnix", "A program error has occured\r\nError Number: 0\r\nError description: no display"},
        {"no opener at all", UrlOpenFn{}, "Tarnix",
         "A program error has occured\r\nError Number: 0\r\n"
         "Error description: bad_function_call"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BoxSeen seen;
        ModalCloser closer(AnswerBox(seen, QMessageBox::Ok));
        OpenWebPage(nullptr, c.title, c.opener);
        testing::RunEventsUntil([&] { return closer.Seen() > 0; });
        EXPECT_EQ(closer.Seen(), 1);
        EXPECT_EQ(seen.title.toStdString(), std::string(c.title) + " Error");
        EXPECT_EQ(seen.text, c.text);
        EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
        EXPECT_EQ(seen.buttonCount, 1);
    }
}

TEST(QtMessageBoxes, ShowTheLinesAsPlainTextWithTheIconAndAnswer) {
    struct Case {
        BoxIcon icon;
        BoxButtons buttons;
        QMessageBox::StandardButton press; // NoButton: closed by the window manager
        QMessageBox::Icon qtIcon;
        BoxAnswer answer;
    };
    const Case cases[] = {
        {BoxIcon::Error, BoxButtons::YesNo, QMessageBox::Yes, QMessageBox::Critical, BoxAnswer::Yes},
        {BoxIcon::Error, BoxButtons::YesNo, QMessageBox::No, QMessageBox::Critical, BoxAnswer::No},
        {BoxIcon::Error, BoxButtons::YesNo, QMessageBox::NoButton, QMessageBox::Critical, BoxAnswer::No},
        {BoxIcon::Warning, BoxButtons::Ok, QMessageBox::Ok, QMessageBox::Warning, BoxAnswer::Ok},
        {BoxIcon::None, BoxButtons::Ok, QMessageBox::NoButton, QMessageBox::NoIcon, BoxAnswer::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.press));
        BoxSeen seen;
        ModalCloser closer(AnswerBox(seen, c.press));
        QtMessageBoxes boxes;
        const BoxAnswer answer = boxes.Show(
            "Tarnix Port Error", {"Received <TNA100>", "Do You Want To End The Program?"}, c.icon, c.buttons);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(seen.title, "Tarnix Port Error");
        EXPECT_EQ(seen.text, "Received <TNA100>\r\nDo You Want To End The Program?");
        EXPECT_EQ(seen.format, Qt::PlainText);
        EXPECT_EQ(seen.icon, c.qtIcon);
        EXPECT_EQ(seen.buttonCount, c.buttons == BoxButtons::YesNo ? 2 : 1);
    }
}

} // namespace
} // namespace tarnix
