#pragma once

// One owner for a system resource (a handle, a GDI object, a window, a block
// of memory the system handed over): move-only, released exactly once, when
// its owner goes. Traits name the type, the value that means "none" and the
// release call, so each kind of handle is a one-line alias.

#include <utility>

namespace tolvar {

template <typename Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value v) : v_(Normalised(v)) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& o) noexcept : v_(std::exchange(o.v_, Traits::None())) {}
    UniqueResource& operator=(UniqueResource&& o) noexcept {
        if (this != &o) {
            reset();
            v_ = std::exchange(o.v_, Traits::None());
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value get() const { return v_; }
    explicit operator bool() const { return v_ != Traits::None(); }
    // Hands the resource to a new owner (SetWindowRgn takes a region, say).
    Value release() { return std::exchange(v_, Traits::None()); }
    void reset(Value v = Traits::None()) {
        if (v_ != Traits::None()) Traits::Release(v_);
        v_ = Normalised(v);
    }

private:
    // Some calls answer "none" in more than one way (INVALID_HANDLE_VALUE
    // and null for files); the owner keeps one.
    static Value Normalised(Value v) { return Traits::IsNone(v) ? Traits::None() : v; }

    Value v_ = Traits::None();
};

// Traits for a resource whose only "none" is a null pointer.
template <typename T, auto ReleaseFn>
struct NullIsNone {
    using Value = T;
    static constexpr Value None() { return nullptr; }
    static bool IsNone(Value v) { return v == nullptr; }
    static void Release(Value v) { ReleaseFn(v); }
};

}  // namespace tolvar
