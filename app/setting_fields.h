// The five numeric setting fields of the main dialog, kept equal to
// g_setting: a refused text is replaced by the last accepted value.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>

#include "app/resource.h"
#include "countdown/time_count.h"

struct SettingField {
    int id;
    int32_t TimeCount::*member;
    int32_t limit;  // exclusive upper bound
};

inline constexpr std::array<SettingField, 5> kSettingFields = {{
    {IDC_HOUR, &TimeCount::hour, 100},
    {IDC_MINUTE, &TimeCount::minute, 60},
    {IDC_SECOND, &TimeCount::second, 60},
    {IDC_MSEC, &TimeCount::millisecond, 1000},
    {IDC_COUNT, &TimeCount::count, 10000},
}};

// What is disabled while a countdown exists: the numeric fields, the path
// and Browse.
inline constexpr std::array<int, 7> kSettingControls = {IDC_HOUR,  IDC_MINUTE, IDC_SECOND, IDC_MSEC,
                                                        IDC_COUNT, IDC_SOUND,  IDC_BROWSE};

// Bytes read from a field; longer text is cut to 63 characters.
inline constexpr int kFieldTextSize = 64;

// The field for a control identifier, or null.
const SettingField* FindSettingField(int id);

// The value of a text made only of decimal digits (empty counts as 0),
// saturated at INT32_MAX so no text wraps into range; nullopt for anything
// else (signs, spaces, letters).
std::optional<int32_t> ParseFieldText(const char* text);

// "0" into the five numeric fields, empty text into IDC_SOUND. Returns 1.
int InitSettingFields(HWND dialog);
// EnableWindow(enable) on each setting control. Returns 1.
int EnableSettingFields(HWND dialog, BOOL enable);
// Accepts the control's text into *field when it is a number in [0, limit),
// rewriting it without leading zeros; otherwise puts *field back. Returns 1.
int ValidateSettingField(int id, HWND dialog, int32_t* field, int32_t limit);
