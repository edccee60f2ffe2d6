#pragma once

#include <cstdint>

namespace tarnix {

// A text or background colour of a window control: either red/green/blue, or one of the
// desktop's own colours for button faces and button text.
struct Colour {
    enum class Kind : std::uint8_t { Rgb, ButtonFace, ButtonText };
    Kind kind = Kind::Rgb;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    static constexpr Colour FromRgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return Colour{Kind::Rgb, r, g, b};
    }
    friend constexpr bool operator==(const Colour&, const Colour&) = default;
};

namespace colours {
inline constexpr Colour Black = Colour::FromRgb(0, 0, 0);
inline constexpr Colour White = Colour::FromRgb(255, 255, 255);
inline constexpr Colour StatusGreen = Colour::FromRgb(0, 102, 0);    // rows, master counter
inline constexpr Colour StatusOrange = Colour::FromRgb(255, 102, 0); // rows, master silence
inline constexpr Colour SlaveGreen = Colour::FromRgb(0, 128, 0);     // slave "Connected"
inline constexpr Colour Orange = Colour::FromRgb(255, 128, 0);       // prompt, slave silence, countdown band
// The configuration screen's labels: normal (not bold) and out of range (bold).
inline constexpr Colour NormalLabelColour = Colour::FromRgb(0, 102, 0);
inline constexpr Colour HighlightColour = Colour::FromRgb(255, 128, 0);
inline constexpr Colour ButtonFace{Colour::Kind::ButtonFace, 0, 0, 0};
inline constexpr Colour ButtonText{Colour::Kind::ButtonText, 0, 0, 0};
} // namespace colours

} // namespace tarnix
