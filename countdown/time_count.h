// The countdown's time record and its conversions to and from milliseconds.
#pragma once

#include <cstdint>

struct TimeCount {
    int32_t hour;
    int32_t minute;
    int32_t second;
    int32_t millisecond;
    int32_t count;
};

// The user's settings; dialog thread only.
extern TimeCount g_setting;
// Time left of the running interval. The worker writes it while the dialog
// reads it; every field is read and written whole (relaxed atomic access),
// no consistency across fields is promised.
extern TimeCount g_remain;

uint32_t ToMilliseconds(const TimeCount& t);

// Sets the four time fields; leaves count alone. Stores are relaxed atomics
// so that publishing into g_remain is not a data race.
void SetFromMilliseconds(TimeCount& t, uint32_t ms);

// Field-wise relaxed access for records another thread may touch.
int32_t LoadField(const int32_t& field);
void StoreField(int32_t& field, int32_t value);
TimeCount Snapshot(const TimeCount& t);
void ClearTime(TimeCount& t);  // the four time fields
void ClearAll(TimeCount& t);   // all five
