#pragma once

#include "settings/SettingsTable.h"

#include <array>
#include <new>
#include <string>

// The members a main window would hold, as plain arrays by setting index.
struct FakeMembers : SettingsAccess {
    std::array<std::uint32_t, SettingId::Count> unsignedValue {};
    std::array<std::int32_t, SettingId::Count> intValue {};
    std::array<std::string, SettingId::Count> textValue {};
    int failAt = -1; // touching this index throws, as an allocation failure would

    std::uint32_t GetUnsigned(int index) override { return Touch(index), unsignedValue.at(index); }
    void SetUnsigned(int index, std::uint32_t v) override
    {
        Touch(index), unsignedValue.at(index) = v;
    }
    std::int32_t GetInt(int index) override { return Touch(index), intValue.at(index); }
    void SetInt(int index, std::int32_t v) override { Touch(index), intValue.at(index) = v; }
    std::string GetText(int index) override { return Touch(index), textValue.at(index); }
    void SetText(int index, const std::string& v) override
    {
        Touch(index), textValue.at(index) = v;
    }

private:
    void Touch(int index) const
    {
        if (index == failAt)
            throw std::bad_alloc();
    }
};
