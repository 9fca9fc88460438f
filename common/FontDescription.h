#pragma once

#include <cstdint>
#include <string>

// A font as the settings and the font chooser describe it: the fields of
// the platform's logical-font record. Height follows its convention:
// negative is the character height in pixels, positive the cell height,
// 0 a default size.
struct FontDescription {
    static constexpr std::size_t kFaceNameMax = 31;
    static constexpr std::uint8_t kCentralEuropean = 238;

    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0; // 0: the default weight
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 0;
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0;
    std::string faceName;

    static FontDescription Make(const char* face, std::int32_t height)
    {
        FontDescription f;
        f.faceName = face;
        f.height = height;
        f.charSet = kCentralEuropean;
        return f;
    }
    bool operator==(const FontDescription&) const = default;
};
