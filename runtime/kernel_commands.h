// The kernel command table: 54 commands in their fixed index order, and the functions behind them.
#pragma once

#include <array>

#include "runtime/frame.h"

namespace rt {

// Index of each kernel command in the table.
enum KernelIndex : int32_t {
    kFocusControl = 0,
    kShowMessageBox = 1,
    kDestroyUnit = 2,
    kToText = 3,
    kDoEvents = 4,
    kTextLength = 5,
    kFindTextReverse = 6,
    kRightText = 7,
    kFindText = 8,
    kReplaceSubtext = 9,
    kRemoveFile = 10,
    kReadRegistryText = 11,
    kGetRunDirectory = 12,
    kGetExeName = 13,
    kGetEventControl = 14,
    kIntegerDivide = 15,
    kSetParentControl = 16,
    kPopupMenu = 17,
    kTrimSpaces = 18,
    kMidText = 19,
    kToInteger = 20,
    kComboClear = 21,
    kComboAddItem = 22,
    kComboItemCount = 23,
    kOpenMemoryFile = 24,
    kWriteData = 25,
    kSeekFileStart = 26,
    kReadData = 27,
    kCloseFile = 28,
    kGetFileLength = 29,
    kDeleteData = 30,
    kRemoveAllSpaces = 31,
    kCharFromCode = 32,
    kToUpper = 33,
    kBlankBytes = 34,
    kBytesLength = 35,
    kLeftBytes = 36,
    kWriteBytes = 37,
    kSpaceText = 38,
    kReadBytes = 39,
    kWriteText = 40,
    kAtFileEnd = 41,
    kReadLine = 42,
    kReplaceTextAt = 43,
    kLeftText = 44,
    kToLower = 45,
    kToNumber = 46,
    kComboItemData = 47,
    kRemainder = 48,
    kCopyControl = 49,
    kWriteRegistry = 50,
    kFileExists = 51,
    kWriteFileBytes = 52,
    kSetFileAttrs = 53,
    kKernelCommandCount = 54,
};

extern const std::array<CommandEntry, kKernelCommandCount> kKernelCommands;

// Texts, numbers and byte sets (kernel_text.cpp).
void TextLength(Value* result, int32_t argc, Value* args);
void LeftText(Value* result, int32_t argc, Value* args);
void RightText(Value* result, int32_t argc, Value* args);
void MidText(Value* result, int32_t argc, Value* args);
void FindText(Value* result, int32_t argc, Value* args);
void FindTextReverse(Value* result, int32_t argc, Value* args);
void ReplaceSubtext(Value* result, int32_t argc, Value* args);
void ReplaceTextAt(Value* result, int32_t argc, Value* args);
void TrimSpaces(Value* result, int32_t argc, Value* args);
void RemoveAllSpaces(Value* result, int32_t argc, Value* args);
void ToUpper(Value* result, int32_t argc, Value* args);
void ToLower(Value* result, int32_t argc, Value* args);
void SpaceText(Value* result, int32_t argc, Value* args);
void CharFromCode(Value* result, int32_t argc, Value* args);
void ToText(Value* result, int32_t argc, Value* args);
void ToInteger(Value* result, int32_t argc, Value* args);
void ToNumber(Value* result, int32_t argc, Value* args);
void IntegerDivide(Value* result, int32_t argc, Value* args);
void Remainder(Value* result, int32_t argc, Value* args);
void BlankBytes(Value* result, int32_t argc, Value* args);
void BytesLength(Value* result, int32_t argc, Value* args);
void LeftBytes(Value* result, int32_t argc, Value* args);

// In-memory files (kernel_files.cpp).
void OpenMemoryFile(Value* result, int32_t argc, Value* args);
void WriteData(Value* result, int32_t argc, Value* args);
void ReadData(Value* result, int32_t argc, Value* args);
void WriteBytes(Value* result, int32_t argc, Value* args);
void ReadBytes(Value* result, int32_t argc, Value* args);
void WriteText(Value* result, int32_t argc, Value* args);
void ReadLine(Value* result, int32_t argc, Value* args);
void SeekFileStart(Value* result, int32_t argc, Value* args);
void AtFileEnd(Value* result, int32_t argc, Value* args);
void GetFileLength(Value* result, int32_t argc, Value* args);
void DeleteData(Value* result, int32_t argc, Value* args);
void CloseFile(Value* result, int32_t argc, Value* args);

// Disk files, registry, run paths, message box and message pumping (kernel_system_*.cpp).
void RemoveFile(Value* result, int32_t argc, Value* args);
void FileExists(Value* result, int32_t argc, Value* args);
void WriteFileBytes(Value* result, int32_t argc, Value* args);
void SetFileAttrs(Value* result, int32_t argc, Value* args);
void ReadRegistryText(Value* result, int32_t argc, Value* args);
void WriteRegistry(Value* result, int32_t argc, Value* args);
void GetRunDirectory(Value* result, int32_t argc, Value* args);
void GetExeName(Value* result, int32_t argc, Value* args);
void ShowMessageBox(Value* result, int32_t argc, Value* args);
void DoEvents(Value* result, int32_t argc, Value* args);

// Window and control commands (the window layer provides them).
void FocusControl(Value* result, int32_t argc, Value* args);
void ComboClear(Value* result, int32_t argc, Value* args);
void ComboAddItem(Value* result, int32_t argc, Value* args);
void ComboItemCount(Value* result, int32_t argc, Value* args);
void ComboItemData(Value* result, int32_t argc, Value* args);
void PopupMenu(Value* result, int32_t argc, Value* args);
void GetEventControl(Value* result, int32_t argc, Value* args);
void CopyControl(Value* result, int32_t argc, Value* args);
void SetParentControl(Value* result, int32_t argc, Value* args);
void DestroyUnit(Value* result, int32_t argc, Value* args);

}  // namespace rt
