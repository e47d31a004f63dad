// Typed C++ wrappers over the helper table: owned Text and Bytes values, and variadic calls that build the
// argument frame, so that application code reads like its algorithms while every call goes through the frame.
#pragma once

#include <cstring>
#include <string>
#include <utility>

#include "runtime/frame.h"
#include "runtime/kernel_commands.h"
#include "runtime/memory.h"

namespace rt {

// An owned text (null = empty), freed with MemFree.
class Text {
public:
    Text() = default;
    static Text Adopt(char* owned) {
        Text t;
        t.p_ = owned;
        return t;
    }
    static Text Copy(const char* s) { return Adopt(NewText(s)); }
    static Text Copy(const std::string& s) { return Adopt(NewText(s.data(), s.size())); }
    Text(const Text& o) : p_(NewText(o.p_)) {}
    Text(Text&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Text& operator=(Text o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Text() { MemFree(p_); }

    const char* get() const { return p_; }
    // The text as the application passes it: never null.
    const char* c_str() const { return p_ ? p_ : kEmptyText; }
    size_t size() const { return p_ ? std::strlen(p_) : 0; }
    bool empty() const { return !p_ || !*p_; }
    std::string str() const { return c_str(); }
    char* release() { return std::exchange(p_, nullptr); }
    bool operator==(const char* s) const { return std::strcmp(c_str(), s ? s : "") == 0; }

private:
    char* p_ = nullptr;
};

// An owned byte set (null = empty), freed with MemFree.
class Bytes {
public:
    Bytes() = default;
    static Bytes Adopt(void* owned) {
        Bytes b;
        b.p_ = owned;
        return b;
    }
    static Bytes Copy(const void* data, size_t n) { return Adopt(NewBytes(data, n)); }
    Bytes(const Bytes& o) : p_(NewBytes(BytesDataOf(o.p_), size_t(BytesLengthOf(o.p_)))) {}
    Bytes(Bytes&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Bytes& operator=(Bytes o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Bytes() { MemFree(p_); }

    const void* get() const { return p_; }
    const void* block() const { return p_ ? p_ : static_cast<const void*>(&kEmptyBytes); }
    const uint8_t* data() const { return BytesDataOf(p_); }
    size_t size() const { return size_t(BytesLengthOf(p_)); }
    bool empty() const { return size() == 0; }
    void* release() { return std::exchange(p_, nullptr); }

private:
    void* p_ = nullptr;
};

// An argument that was left out.
struct Omit {};
// A variable passed by reference: its address and its type tag.
struct Ref {
    void* variable;
    uint32_t tag;
};

inline Value ToArg(int32_t v) { return Value::Int(v); }
inline Value ToArg(bool v) { return Value::Bool(v); }
inline Value ToArg(double v) { return Value::Double(v); }
inline Value ToArg(int64_t v) { return Value::Long(v); }
inline Value ToArg(const char* s) { return Value::Text(s ? s : kEmptyText); }
inline Value ToArg(const Text& t) { return Value::Text(t.c_str()); }
inline Value ToArg(const std::string& s) = delete;  // keep lifetimes explicit: pass a Text or c_str()
inline Value ToArg(const Bytes& b) { return Value::Pointer(kTagBytes, b.block()); }
inline Value ToArg(Omit) { return Value{0, 0, kTagOmitted}; }
inline Value ToArg(Ref r) { return Value::Pointer(r.tag, r.variable); }
inline Value ToArg(const Value& v) { return v; }

template <typename... A>
Value CallKernel(KernelIndex index, const A&... args) {
    ArgumentFrame<int(sizeof...(A))> frame{int32_t(sizeof...(A)), {ToArg(args)...}};
    return Helpers().callKernelCommand(kKernelCommands[index].fn, frame.count, frame.args);
}

template <typename... A>
Value CallLibrary(CommandFn fn, const A&... args) {
    ArgumentFrame<int(sizeof...(A))> frame{int32_t(sizeof...(A)), {ToArg(args)...}};
    return Helpers().callLibraryCommand(fn, frame.count, frame.args);
}

// Results as owned values.
inline Text TextResult(const Value& r) { return Text::Adopt(static_cast<char*>(r.AsPointer())); }
inline Bytes BytesResult(const Value& r) { return Bytes::Adopt(r.AsPointer()); }

}  // namespace rt
