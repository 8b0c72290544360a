// One owned reference on a COM interface: released when the owner goes, so no path forgets it.
#pragma once

#include <utility>

namespace vlt::com {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already holds (an out-parameter, a new object).
    static ComPtr adopt(T* p) {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    // Takes a reference of its own.
    static ComPtr share(T* p) {
        if (p) p->AddRef();
        return adopt(p);
    }
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For an out-parameter: drops the held reference first.
    T** out() {
        reset();
        return &m_p;
    }
    void reset() {
        if (m_p) std::exchange(m_p, nullptr)->Release();
    }

private:
    T* m_p = nullptr;
};

}  // namespace vlt::com
