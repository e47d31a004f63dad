// Owners of Win32 handles: each closes its handle when it goes, once, and release() hands it on when ownership
// passes elsewhere. One template; a handle kind is its empty value and its closing call.
#pragma once

#include <windows.h>

#include <utility>

namespace rt {

template <typename Kind>
class Scoped {
public:
    using Handle = typename Kind::Handle;
    Scoped() = default;
    explicit Scoped(Handle h) : h_(h) {}
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : h_(other.release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~Scoped() { reset(); }

    Handle get() const { return h_; }
    bool valid() const { return h_ != Kind::Empty(); }
    explicit operator bool() const { return valid(); }
    // Where a call stores a new handle (the old one is closed first).
    Handle* receive() {
        reset();
        return &h_;
    }
    Handle release() { return std::exchange(h_, Kind::Empty()); }
    void reset(Handle h = Kind::Empty()) {
        Handle old = std::exchange(h_, h);
        if (old != Kind::Empty()) Kind::Close(old);
    }

private:
    Handle h_ = Kind::Empty();
};

// A file, opened by CreateFile: INVALID_HANDLE_VALUE when there is none.
struct FileKind {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
using ScopedFile = Scoped<FileKind>;

// A directory search, opened by FindFirstFile.
struct FindKind {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};
using ScopedFind = Scoped<FindKind>;

// A kernel object (event, thread, timer): null when there is none.
struct KernelObjectKind {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { CloseHandle(h); }
};
using ScopedKernelObject = Scoped<KernelObjectKind>;

// An open registry key.
struct RegistryKeyKind {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};
using ScopedRegistryKey = Scoped<RegistryKeyKind>;

}  // namespace rt
