// The library commands the application calls. When the runtime's libraries are built their declarations are
// used; until then the same names are declared here and fail loudly when called (library_fallback.cpp).
#pragma once

#if __has_include("runtime/library_commands.h")
#include "runtime/library_commands.h"
#else
#include "runtime/frame.h"
#define PEXO_LIBRARY_COMMANDS_PENDING 1
namespace rt {
void CreateSection(Value* result, int32_t argc, Value* args);
void DeleteSection(Value* result, int32_t argc, Value* args);
void RegexInit(Value* result, int32_t argc, Value* args);
void RegexFree(Value* result, int32_t argc, Value* args);
void RegexCompile(Value* result, int32_t argc, Value* args);
void RegexMatchFree(Value* result, int32_t argc, Value* args);
void HttpReadFile(Value* result, int32_t argc, Value* args);
// Bytes of a `regex` variable on x64: a pointer word and the multi-line switch, padded.
constexpr int32_t kRegexVariableSize = 16;
}  // namespace rt
#endif
