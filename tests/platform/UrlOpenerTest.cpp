#include "platform/UrlOpener.h"
#include "Helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace tarnix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A fresh folder holding a fake xdg-open that writes its argument count and arguments to a
// file, put first on PATH so nothing real is ever opened.
class UrlOpenerTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarnix-opener-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        savedCwd_ = fs::current_path();
        record_ = folder_ / "opened";
        std::ofstream script(folder_ / "xdg-open");
        script << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << (folder_ / "partial").string() << "'\n"
               << "mv '" << (folder_ / "partial").string() << "' '" << record_.string() << "'\n";
        script.close();
        fs::permissions(folder_ / "xdg-open", fs::perms::owner_all);
        ::setenv("PATH", (folder_.string() + ":/usr/bin:/bin").c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", savedPath_.c_str(), 1);
        fs::current_path(savedCwd_);
        fs::remove_all(folder_);
    }

    // The fake's record once it has run; empty when it did not run within a short wait.
    std::string Opened(std::chrono::milliseconds wait = 5s) {
        test::RunEventsUntil([&] { return fs::exists(record_); }, wait);
        std::ifstream in(record_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // A callback that keeps the opener's answer.
    OpenDone Record() {
        return [this](bool opened) { answer_ = opened; };
    }
    std::optional<bool> Answer(std::chrono::milliseconds wait = 5s) {
        test::RunEventsUntil([&] { return answer_.has_value(); }, wait);
        return answer_;
    }

    std::optional<bool> answer_;
    fs::path folder_;
    fs::path record_;
    std::string savedPath_;
    fs::path savedCwd_;
};

TEST_F(UrlOpenerTest, UrlIsPassedAsOneUntouchedArgument) {
    const std::string url = "https://example.invalid/a b;touch '" + (folder_ / "injected").string() + "'";
    OpenUrlInBrowser(url, Record());
    EXPECT_EQ(Opened(), "1\n" + url + "\n");
    EXPECT_EQ(Answer(), std::optional<bool>(true));
    EXPECT_FALSE(fs::exists(folder_ / "injected"));
}

TEST_F(UrlOpenerTest, RelativeLogFileIsOpenedByItsFullPath) {
    fs::create_directory(folder_ / "Log");
    std::ofstream(folder_ / "Log" / "TarnixM.log") << "x";
    fs::current_path(folder_);
    OpenFileInEditor("Log/TarnixM.log", Record());
    EXPECT_EQ(Opened(), "1\n" + (folder_ / "Log" / "TarnixM.log").string() + "\n");
    EXPECT_EQ(Answer(), std::optional<bool>(true));
}

TEST_F(UrlOpenerTest, NothingStartedIsReportedAsFailure) {
    for (const auto& open : std::vector<std::function<void()>>{
             [&] { OpenFileInEditor((folder_ / "missing.log").string(), Record()); },
             [&] { OpenFileInEditor(folder_.string(), Record()); }, // a folder is no file
             [&] { OpenUrlInBrowser("", Record()); },
         }) {
        answer_.reset();
        open();
        EXPECT_FALSE(answer_.has_value()) << "the answer comes from the event loop";
        EXPECT_EQ(Answer(), std::optional<bool>(false));
    }
    EXPECT_EQ(Opened(500ms), "");

    // Without xdg-open, and without a GUI whose desktop services could help.
    ::setenv("PATH", (folder_ / "empty").c_str(), 1);
    answer_.reset();
    OpenUrlInBrowser("https://example.invalid/", Record());
    EXPECT_EQ(Answer(), std::optional<bool>(false));
}

// An opener that finds no browser says so by its exit status, which comes while the window
// goes on.
TEST_F(UrlOpenerTest, AnOpenerThatFailsIsReportedWithoutWaitingForIt) {
    std::ofstream(folder_ / "xdg-open") << "#!/bin/sh\nsleep 0.3\nexit 3\n";
    const auto started = std::chrono::steady_clock::now();
    OpenUrlInBrowser("https://example.invalid/", Record());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 250ms) << "the caller must not wait";
    EXPECT_FALSE(answer_.has_value());
    EXPECT_EQ(Answer(), std::optional<bool>(false));
}

} // namespace
} // namespace tarnix
