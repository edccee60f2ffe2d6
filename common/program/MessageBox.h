#pragma once

#include <string>
#include <vector>

namespace tarnix {

enum class BoxIcon { None, Error, Warning, Information };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

// The text of a message box; the title is the program title followed by titleSuffix.
struct BoxText {
    std::string titleSuffix;
    BoxIcon icon = BoxIcon::None;
    std::vector<std::string> lines;

    // The lines joined by CR LF, as the box shows them.
    std::string Message() const {
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) text += "\r\n";
            text += lines[i];
        }
        return text;
    }
    friend bool operator==(const BoxText&, const BoxText&) = default;
};

// The last line of the box of a failure that ends the program.
inline constexpr const char* ProgramWillTerminate = "The program will now terminate.";
// Where a reload of the configuration refuses the files: the last line of its box.
inline constexpr const char* ConfigurationKept = "The configuration in force is kept.";

// A failure that makes the program unusable: the program shows the box, removes its tray
// icon and ends at once.
using FatalError = BoxText;

// The box of a failure the program goes on after: without the line that announces its end.
inline BoxText WithoutTerminationLine(BoxText box) {
    if (!box.lines.empty() && box.lines.back() == ProgramWillTerminate) box.lines.pop_back();
    return box;
}

// Modal message boxes, behind an interface so the logic can be tested without a display.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual BoxAnswer Show(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon,
                           BoxButtons buttons) = 0;
    // A box that tells without waiting for anyone: it stays up while the program goes on. A
    // further notice while one is up replaces its text.
    virtual void Notify(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) = 0;
};

} // namespace tarnix
