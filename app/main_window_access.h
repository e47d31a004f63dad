// Reading and writing the main window's controls, and the runtime arrays the application keeps its lists in.
// Everything goes through the helper table: property reads and writes, and the kernel's control commands.
#pragma once

#include <cstdint>

#include "app/commands.h"
#include "app/shell/main_window.h"

namespace app {

// A control of the main window (or a copy made at run time) as a command argument of the given type.
rt::Value Control(uint32_t type, uint32_t id);

void SetIntProperty(uint32_t id, int32_t property, int32_t value);
void SetBoolProperty(uint32_t id, int32_t property, bool value);
void SetTextProperty(uint32_t id, int32_t property, const char* text);
void SetBytesProperty(uint32_t id, int32_t property, const Bytes& bytes);
int32_t IntProperty(uint32_t id, int32_t property);
Text TextProperty(uint32_t id, int32_t property);

// 进度条1: one step further, on the window thread (workers use AdvanceStageProgress).
void AdvanceProgress();

// Runtime arrays (one dimension). Text elements read past the end, or missing, are the empty text.
int32_t CountOf(const void* array);
const char* TextAt(const void* array, int32_t index);     // 1-based
void ResetTextArray(void** array, int32_t count);         // count null texts
void SetTextAt(void* array, int32_t index, char* owned);  // 1-based; frees the old text
void AppendText(void** array, const char* text);
uint32_t ControlAt(const void* array, int32_t index);                // 1-based; the control id
void ResetControlArray(void** array, uint32_t type, int32_t count);  // count empty references
void* ControlSlot(void* array, int32_t index);                       // 1-based; the 8-byte reference
void ResetIntArray(void** array, int32_t count);
int32_t IntAt(const void* array, int32_t index);
void SetIntAt(void* array, int32_t index, int32_t value);

// Regex matches: the text of match i (1-based) of a match array over the searched text; empty past the end.
Text MatchText(const void* matches, int32_t index, const Text& searched);
// The same for many matches over one long text whose length the caller has measured once: the text of match i
// without measuring the text again for every match (thousands of matches over megabytes).
Text MatchText(const void* matches, int32_t index, const char* searched, size_t searchedLength);
// All matches of a pattern variable over a text (a new array the caller frees with FreeMatchArray); with
// mostMatches, only the first that many. The text is read where it lies, not copied.
void* SearchAll(void* pattern, const char* text);
void* SearchAll(void* pattern, const char* text, int32_t mostMatches);

}  // namespace app
