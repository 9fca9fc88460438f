#pragma once

#include "settings/SettingsTable.h"

class MainDialog;
class ValuePanel;

// The 36 settings as the main window, its panels and the recording state
// hold them, by the settings table's index.
class MainDialogSettings : public SettingsAccess {
public:
    explicit MainDialogSettings(MainDialog& dialog)
        : dialog_(dialog)
    {
    }

    std::uint32_t GetUnsigned(int index) override;
    void SetUnsigned(int index, std::uint32_t value) override;
    std::int32_t GetInt(int index) override;
    void SetInt(int index, std::int32_t value) override;
    std::string GetText(int index) override;
    void SetText(int index, const std::string& value) override;

private:
    ValuePanel* Panel(int index) const;
    int* IntMember(int index);

    MainDialog& dialog_;
};
