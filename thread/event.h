// Event with a flag recording whether it was last set or reset.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/native_event.h"

// The time-out that waits without limit (the largest 32-bit value).
constexpr uint32_t kInfiniteWait = 0xFFFFFFFFu;

class IEvent {
public:
    virtual int Set() = 0;
    virtual int Reset() = 0;
    // 1 when signalled within `ms` (kInfiniteWait: no limit), else 0.
    virtual int Wait(uint32_t ms) = 0;
    // 1 after Set, 0 after Reset: a record of the last call, not of
    // whether a Wait would succeed now.
    virtual int IsSet() = 0;
    virtual platform::EventHandle GetHandle() = 0;

protected:
    // Not deletable through the interface: it declares no virtual destructor.
    ~IEvent() = default;
};

class CEvent : public IEvent {
public:
    // manualReset non-zero: stays signalled until Reset; 0: a satisfied
    // wait clears it.
    explicit CEvent(int manualReset);
    virtual ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    int Set() override;
    int Reset() override;
    int Wait(uint32_t ms) override;
    int IsSet() override;
    platform::EventHandle GetHandle() override;

    // Clears the event and returns the flag as it was, in one step for the
    // flag: a Set that races with it is either taken here or left standing,
    // never lost.
    int TakeSignal();

private:
    platform::EventHandle handle;
    // Written and read by different threads without a lock.
    std::atomic<int32_t> signaled{0};
};
