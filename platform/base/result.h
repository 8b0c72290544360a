// A value or an error code with a message, for the C++ interfaces between layers. The
// Windows-style functions keep their own BOOL/LONG/HRESULT conventions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt {

struct Error {
    std::uint32_t code = 0;  // a Win32 error or HRESULT, 0 when only the message matters
    std::string message;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}  // NOLINT: implicit by design
    Result(Error error) : m_error(std::move(error)) {}  // NOLINT

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    const Error& error() const { return m_error; }

private:
    std::optional<T> m_value;
    Error m_error;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_failed(true), m_error(std::move(error)) {}  // NOLINT

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return m_error; }

private:
    bool m_failed = false;
    Error m_error;
};

inline Error fail(std::string message, std::uint32_t code = 0) {
    return Error{code, std::move(message)};
}

}  // namespace vlt

VLT_EXPORT_END
