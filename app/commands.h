// The kernel commands the application uses, as typed calls that go through the helper table's frame.
#pragma once

#include "runtime/call.h"

namespace app {

using rt::Bytes;
using rt::Omit;
using rt::Text;

inline int32_t TextLength(const Text& t) { return rt::CallKernel(rt::kTextLength, t).AsInt(); }
inline Text LeftText(const Text& t, int32_t n) { return rt::TextResult(rt::CallKernel(rt::kLeftText, t, n)); }
inline Text RightText(const Text& t, int32_t n) { return rt::TextResult(rt::CallKernel(rt::kRightText, t, n)); }
inline Text MidText(const Text& t, int32_t start, int32_t length) {
    return rt::TextResult(rt::CallKernel(rt::kMidText, t, start, length));
}
inline int32_t FindText(const Text& t, const char* sub, int32_t start = 0, bool caseInsensitive = false) {
    return rt::CallKernel(rt::kFindText, t, sub, start > 0 ? rt::ToArg(start) : rt::ToArg(Omit{}), caseInsensitive)
        .AsInt();
}
inline int32_t FindTextReverse(const Text& t, const char* sub) {
    return rt::CallKernel(rt::kFindTextReverse, t, sub).AsInt();
}
inline int32_t FindTextReverse(const Text& t, const char* sub, int32_t start) {
    return rt::CallKernel(rt::kFindTextReverse, t, sub, start).AsInt();
}
// Replaces every occurrence; caseSensitive false folds ASCII letters.
inline Text ReplaceAll(const Text& t, const char* oldText, const char* newText, bool caseSensitive) {
    return rt::TextResult(rt::CallKernel(rt::kReplaceSubtext, t, oldText, newText, Omit{}, Omit{}, caseSensitive));
}
inline Text TrimSpaces(const Text& t) { return rt::TextResult(rt::CallKernel(rt::kTrimSpaces, t)); }
inline Text RemoveAllSpaces(const Text& t) { return rt::TextResult(rt::CallKernel(rt::kRemoveAllSpaces, t)); }
inline Text ToLower(const Text& t) { return rt::TextResult(rt::CallKernel(rt::kToLower, t)); }
inline Text ToUpper(const Text& t) { return rt::TextResult(rt::CallKernel(rt::kToUpper, t)); }
inline Text ToText(const Bytes& b) { return rt::TextResult(rt::CallKernel(rt::kToText, b)); }
inline Text ToText(int32_t n) { return rt::TextResult(rt::CallKernel(rt::kToText, n)); }
inline int32_t ToInteger(const Text& t) { return rt::CallKernel(rt::kToInteger, t).AsInt(); }
inline double ToNumber(const Text& t) { return rt::CallKernel(rt::kToNumber, t).AsDouble(); }

// In-memory files.
inline int32_t OpenMemoryFile() { return rt::CallKernel(rt::kOpenMemoryFile).AsInt(); }
template <typename... V>
bool WriteData(int32_t file, const V&... values) {
    return rt::CallKernel(rt::kWriteData, file, values...).AsInt() != 0;
}
template <typename... V>
bool WriteBytes(int32_t file, const V&... values) {
    return rt::CallKernel(rt::kWriteBytes, file, values...).AsInt() != 0;
}
// Reads a text variable; the old value is freed by the command.
inline bool ReadData(int32_t file, Text* text) {
    char* p = text->release();
    bool ok = rt::CallKernel(rt::kReadData, file, rt::Ref{&p, rt::kTagText}).AsInt() != 0;
    *text = Text::Adopt(p);
    return ok;
}
inline bool ReadData(int32_t file, Bytes* bytes) {
    void* p = bytes->release();
    bool ok = rt::CallKernel(rt::kReadData, file, rt::Ref{&p, rt::kTagBytes}).AsInt() != 0;
    *bytes = Bytes::Adopt(p);
    return ok;
}
inline Bytes ReadBytes(int32_t file, int32_t n) { return rt::BytesResult(rt::CallKernel(rt::kReadBytes, file, n)); }
inline Text ReadLine(int32_t file) { return rt::TextResult(rt::CallKernel(rt::kReadLine, file)); }
inline bool SeekFileStart(int32_t file) { return rt::CallKernel(rt::kSeekFileStart, file).AsInt() != 0; }
inline bool AtFileEnd(int32_t file, bool stopAtTerminator = false) {
    return rt::CallKernel(rt::kAtFileEnd, file, stopAtTerminator).AsInt() != 0;
}
inline int32_t GetFileLength(int32_t file) { return rt::CallKernel(rt::kGetFileLength, file).AsInt(); }
inline bool DeleteData(int32_t file, int32_t n) { return rt::CallKernel(rt::kDeleteData, file, n).AsInt() != 0; }
inline void CloseFile(int32_t file) { rt::CallKernel(rt::kCloseFile, file); }
inline void DoEvents() { rt::CallKernel(rt::kDoEvents); }
inline int32_t ShowMessageBox(const char* message, int32_t flags, const char* title) {
    return rt::CallKernel(rt::kShowMessageBox, message, flags, title).AsInt();
}

// Concatenation of texts into a new owned text (the application's "+" on texts).
template <typename... T>
Text Concat(const T&... parts) {
    std::string s;
    ((s += [](const auto& p) -> const char* {
         if constexpr (std::is_same_v<std::decay_t<decltype(p)>, Text>)
             return p.c_str();
         else
             return p;
     }(parts)),
     ...);
    return Text::Copy(s);
}

}  // namespace app
