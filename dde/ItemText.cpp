#include "dde/ItemText.h"

#include "resources/DdeTexts.h"

#include <array>
#include <charconv>
#include <cmath>

std::string NumberText(double value)
{
    const double shifted = value >= 0 ? value - 0.05 : value + 0.05;
    if (!std::isfinite(shifted))
        return std::isnan(shifted) ? "nan" : (shifted < 0 ? "-inf" : "inf");

    // Every double has a finite decimal expansion; 1100 places after the
    // point hold all of it, so the digits below are exact, not rounded.
    std::array<char, 1500> digits {};
    const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(),
        std::fabs(shifted), std::chars_format::fixed, 1100);
    if (ec != std::errc())
        return {};
    const std::string_view exact(digits.data(), static_cast<size_t>(end - digits.data()));
    const size_t point = exact.find('.');

    std::string whole(exact.substr(0, point));
    char tenth = exact[point + 1];
    // Away from zero when the rest is at least half a tenth: that is exactly
    // when the hundredths digit is 5 or more.
    if (exact[point + 2] >= '5') {
        if (tenth == '9') {
            tenth = '0';
            size_t k = whole.size();
            while (k > 0 && whole[k - 1] == '9')
                whole[--k] = '0';
            if (k == 0)
                whole.insert(whole.begin(), '1');
            else
                ++whole[k - 1];
        } else {
            ++tenth;
        }
    }
    std::string text = std::signbit(shifted) ? "-" : "";
    text += whole;
    text += '.';
    text += tenth;
    return text;
}

std::string TopicName(int topic, long serialNumber)
{
    if (topic < 0 || topic > 2)
        return {};
    std::string name(texts::dde::TopicBaseNames[topic]);
    name += '#';
    name += std::to_string(serialNumber);
    return name;
}

std::string ItemText(int topic, int item, const PanelReading& panel)
{
    if (topic < 0 || topic > 2)
        return {};
    switch (item) {
    case ItemResult:
        return NumberText(panel.rawValue);
    case ItemMeasurement:
        return NumberText(panel.rawValue) + std::string(texts::dde::UnitSuffixes[topic]);
    case ItemStatus:
        return std::string(panel.valid() ? texts::dde::StatusOk : texts::dde::StatusError);
    default:
        return {};
    }
}
