#include "settings/MainDialogSettings.h"

#include "common/FontDescription.h"
#include "device/PortControl.h"
#include "display/MainDialog.h"
#include "display/ValuePanel.h"

namespace {

constexpr int kPanelSettings = 6; // colour, colour, height, name, italic, weight
enum PanelField { Background, Text, Height, Name, Italic, Weight };

} // namespace

ValuePanel* MainDialogSettings::Panel(int index) const
{
    switch (index / kPanelSettings) {
    case 0:
        return &dialog_.temperaturePanel();
    case 1:
        return &dialog_.humidityPanel();
    case 2:
        return &dialog_.pressurePanel();
    default:
        return nullptr;
    }
}

int* MainDialogSettings::IntMember(int index)
{
    RecordingSettings& r = dialog_.recording.settings;
    switch (index) {
    case SettingId::PORT_NR:
        return &dialog_.portControl().portNumber;
    case SettingId::WINDOW_TOP:
        return &dialog_.savedRect.top;
    case SettingId::WINDOW_BOTTOM:
        return &dialog_.savedRect.bottom;
    case SettingId::WINDOW_LEFT:
        return &dialog_.savedRect.left;
    case SettingId::WINDOW_RIGHT:
        return &dialog_.savedRect.right;
    case SettingId::FILE_LOG:
        return &r.reportEnabled;
    case SettingId::FILE_LOG_BIN:
        return &r.binaryEnabled;
    case SettingId::FILE_SEP_FORMAT:
        return &r.separatorFormat;
    case SettingId::FILE_INTERVAL:
        return &r.intervalSeconds;
    case SettingId::FILE_TEMP:
        return &r.columnTemperature;
    case SettingId::FILE_RH:
        return &r.columnHumidity;
    case SettingId::FILE_PRESSURE:
        return &r.columnPressure;
    case SettingId::FILE_CHECK_COMMENT:
        return &r.writeComment;
    case SettingId::FILE_CHECK_COMMENT_SN:
        return &r.commentSerialNumber;
    case SettingId::SHOW_ADV:
        return &dialog_.showPromotionAtStart;
    default:
        return nullptr;
    }
}

std::uint32_t MainDialogSettings::GetUnsigned(int index)
{
    ValuePanel* p = Panel(index);
    if (p == nullptr)
        return 0;
    return index % kPanelSettings == Background ? p->backgroundColour() : p->textColour();
}

void MainDialogSettings::SetUnsigned(int index, std::uint32_t value)
{
    ValuePanel* p = Panel(index);
    if (p == nullptr)
        return;
    if (index % kPanelSettings == Background)
        p->SetBackgroundColour(value);
    else
        p->SetTextColour(value);
}

std::int32_t MainDialogSettings::GetInt(int index)
{
    if (index == SettingId::TOPMOST)
        return dialog_.topmost ? 1 : 0;
    if (ValuePanel* p = Panel(index)) {
        const FontDescription f = p->valueFontDescription();
        switch (index % kPanelSettings) {
        case Height:
            return f.height;
        case Italic:
            return f.italic;
        case Weight:
            return f.weight;
        default:
            return 0;
        }
    }
    const int* m = IntMember(index);
    return m != nullptr ? *m : 0;
}

void MainDialogSettings::SetInt(int index, std::int32_t value)
{
    if (index == SettingId::TOPMOST) {
        dialog_.topmost = value != 0;
        return;
    }
    if (ValuePanel* p = Panel(index)) {
        FontDescription f = p->valueFontDescription();
        switch (index % kPanelSettings) {
        case Height:
            f.height = value;
            break;
        case Italic:
            f.italic = static_cast<std::uint8_t>(value);
            break;
        case Weight:
            f.weight = value;
            break;
        default:
            return;
        }
        p->SetValueFontDescription(f);
        return;
    }
    if (int* m = IntMember(index))
        *m = value;
}

std::string MainDialogSettings::GetText(int index)
{
    if (ValuePanel* p = Panel(index))
        return p->valueFontDescription().faceName;
    if (index == SettingId::FILE_NAME)
        return dialog_.recording.settings.reportFileName;
    if (index == SettingId::FILE_NAME_BIN)
        return dialog_.recording.settings.binaryFileName;
    return {};
}

void MainDialogSettings::SetText(int index, const std::string& value)
{
    if (ValuePanel* p = Panel(index)) {
        FontDescription f = p->valueFontDescription();
        f.faceName = value;
        p->SetValueFontDescription(f);
    } else if (index == SettingId::FILE_NAME) {
        dialog_.recording.settings.reportFileName = value;
    } else if (index == SettingId::FILE_NAME_BIN) {
        dialog_.recording.settings.binaryFileName = value;
    }
}
