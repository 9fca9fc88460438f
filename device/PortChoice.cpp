#include "device/PortChoice.h"

#include "resources/PortDialogTexts.h"

#include <cctype>
#include <climits>
#include <cstdio>

namespace port_choice {

std::vector<std::string> DisplayLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string::npos)
            break;
        std::string line = text.substr(start, lf - start);
        start = lf + 1;
        if (line.empty())
            continue;
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            line = line.substr(0, colon) + " (" + line.substr(colon + 1) + ")";
        lines.push_back(std::move(line));
    }
    return lines;
}

int PreselectedIndex(const std::vector<std::string>& lines, int portInUse)
{
    if (portInUse == 0)
        return -1;
    const std::string name = "COM" + std::to_string(portInUse);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l == name || l.rfind(name + " ", 0) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int ChosenPort(const std::string& comboText)
{
    std::size_t i = 0;
    while (i < comboText.size() && std::isspace(static_cast<unsigned char>(comboText[i])))
        ++i;
    const std::string text = comboText.substr(i);
    if (text.size() < 4)
        return 0;
    // Decimal number from the fourth character on, read as atoi would but
    // without its overflow: anything beyond INT_MAX names no port.
    std::size_t p = 3;
    while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p])))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-'))
        negative = text[p++] == '-';
    long long n = 0;
    for (; p < text.size() && std::isdigit(static_cast<unsigned char>(text[p])); ++p) {
        n = n * 10 + (text[p] - '0');
        if (n > INT_MAX)
            return 0;
    }
    if (negative || n <= 0)
        return 0;
    return static_cast<int>(n);
}

std::string StatusText(int portInUse)
{
    if (portInUse == 0)
        return texts::port::kNoPortInUse;
    char buf[96];
    std::snprintf(buf, sizeof buf, texts::port::kPortInUse, portInUse);
    return buf;
}

} // namespace port_choice
