// Reference-counted holder of one heap object, and the exception types its
// guarded access throws.
#pragma once

#include <cstdint>

class IException {
public:
    static constexpr int32_t kMessageSize = 256;

    // The text is cut to its first 255 bytes; a null text counts as empty.
    IException(const char* text, int32_t code, int32_t subcode);
    IException(const IException& other);
    IException& operator=(const IException& other);
    virtual ~IException();

    const char* Message() const { return message; }
    int32_t Code() const { return code; }
    int32_t Subcode() const { return subcode; }

private:
    char message[kMessageSize];  // zero-terminated; every byte after the text is zero
    int32_t code;
    int32_t subcode;
};

class smart_ptr_exception : public IException {
public:
    static constexpr int32_t kEmpty = 1;       // Get on an empty holder
    static constexpr int32_t kOutOfRange = 2;  // index outside the held elements
    static constexpr const char* kText = "smart ptr exception";

    explicit smart_ptr_exception(int32_t code);
    smart_ptr_exception(const smart_ptr_exception& other);
    smart_ptr_exception& operator=(const smart_ptr_exception& other);
};

// Owns the object given to Assign; the Release that brings the count to 0
// destroys it. The holder also releases when it is destroyed. Holders are
// used on one thread only and are never copied.
template <typename T>
class smart_ptr {
public:
    smart_ptr() = default;
    ~smart_ptr() { Release(); }
    smart_ptr(const smart_ptr&) = delete;
    smart_ptr& operator=(const smart_ptr&) = delete;

    // Releases what is held, then holds `p` (null leaves the holder empty).
    void Assign(T* p) {
        Release();
        if (p == nullptr) return;
        object = p;
        if (refCount == nullptr) refCount = new int32_t(0);
        ++*refCount;
        size = 1;
        index = 0;
    }

    // The count left: 0 when the object was destroyed or nothing was held.
    int32_t Release() {
        // Empty the holder before destroying, so a destructor that reaches
        // back into this holder finds it empty rather than half released.
        T* held = object;
        int32_t* count = refCount;
        object = nullptr;
        refCount = nullptr;
        index = 0;
        size = 0;
        if (count == nullptr) return 0;
        const int32_t left = --*count;
        if (left == 0) {
            delete count;
            delete held;
        }
        return left;
    }

    // The selected element; throws smart_ptr_exception when empty (code 1)
    // or when the index lies outside the held elements (code 2).
    T* Get() const {
        if (object == nullptr) throw smart_ptr_exception(smart_ptr_exception::kEmpty);
        if (index < 0 || index >= size) {
            throw smart_ptr_exception(smart_ptr_exception::kOutOfRange);
        }
        return object + index;
    }

    T* operator->() const { return Get(); }

    // Read `object` to learn without risk whether the holder is empty.
    T* object = nullptr;
    int32_t* refCount = nullptr;
    int32_t size = 0;
    int32_t index = 0;
};
