#include "base/smart_ptr.h"

#include <cstring>

namespace {
constexpr int32_t kMaxText = IException::kMessageSize - 1;
}  // namespace

IException::IException(const char* text, int32_t code, int32_t subcode)
    : message{}, code(code), subcode(subcode) {
    // Never read past the bytes that can be kept, whether or not the text
    // is terminated within them.
    int32_t length = 0;
    if (text != nullptr) {
        while (length < kMaxText && text[length] != '\0') ++length;
        std::memcpy(message, text, static_cast<size_t>(length));
    }
    message[length] = '\0';
}

IException::IException(const IException& other) : code(other.code), subcode(other.subcode) {
    std::memcpy(message, other.message, sizeof message);
}

IException& IException::operator=(const IException& other) {
    code = other.code;
    subcode = other.subcode;
    std::memcpy(message, other.message, sizeof message);
    return *this;
}

IException::~IException() = default;

smart_ptr_exception::smart_ptr_exception(int32_t code) : IException(kText, code, 0) {}

smart_ptr_exception::smart_ptr_exception(const smart_ptr_exception& other) = default;

smart_ptr_exception& smart_ptr_exception::operator=(const smart_ptr_exception& other) = default;
