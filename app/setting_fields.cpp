#include "app/setting_fields.h"

#include <cstdio>
#include <cstring>
#include <limits>

const SettingField* FindSettingField(int id) {
    for (const SettingField& f : kSettingFields) {
        if (f.id == id) return &f;
    }
    return nullptr;
}

std::optional<int32_t> ParseFieldText(const char* text) {
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    int64_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return std::nullopt;
        value = value * 10 + (*p - '0');
        if (value > kMax) value = kMax;  // saturate: stays refused, never wraps
    }
    return static_cast<int32_t>(value);
}

namespace {

// The field's text as the number parser sees it. Read as UTF-16: through the
// system code page a full-width "１" would come as a best-fit "1" outside
// Japan, and be taken for a digit there only. Anything but ASCII stays a
// character the parser refuses.
void ReadFieldText(HWND dialog, int id, char (&text)[kFieldTextSize]) {
    wchar_t wide[kFieldTextSize] = {};
    GetDlgItemTextW(dialog, id, wide, kFieldTextSize);
    for (int i = 0; i < kFieldTextSize; ++i) {
        text[i] = wide[i] < 0x80 ? static_cast<char>(wide[i]) : '?';
    }
}

}  // namespace

int InitSettingFields(HWND dialog) {
    for (const SettingField& f : kSettingFields) SetDlgItemTextA(dialog, f.id, "0");
    SetDlgItemTextA(dialog, IDC_SOUND, "");
    return 1;
}

int EnableSettingFields(HWND dialog, BOOL enable) {
    for (int id : kSettingControls) EnableWindow(GetDlgItem(dialog, id), enable);
    return 1;
}

int ValidateSettingField(int id, HWND dialog, int32_t* field, int32_t limit) {
    char text[kFieldTextSize] = {};
    ReadFieldText(dialog, id, text);

    const std::optional<int32_t> value = ParseFieldText(text);
    if (value && *value >= 0 && *value < limit) {
        *field = *value;
        // A single "0" and text without a leading zero stay as typed.
        if (text[0] != '0' || std::strlen(text) == 1) return 1;
    }
    // Refused, or accepted with leading zeros: show the stored value. The
    // edit control reports this change too; that nested call accepts it
    // without another rewrite, as long as the stored value is itself in range.
    if (*field < 0 || *field >= limit) *field = 0;
    std::snprintf(text, sizeof text, "%d", *field);
    SetDlgItemTextA(dialog, id, text);
    return 1;
}
