// The kernel command table in index order; reading it tells which commands exist.
#include <array>
#include <utility>

#include "runtime/kernel_commands.h"

namespace rt {

namespace {

// Each row names its command once: the index it must sit at, the name and the function all come from it, and
// the checks below refuse a missing, extra or misplaced row at compile time.
struct Row {
    KernelIndex index;
    CommandEntry entry;
};
#define KERNEL_COMMAND(name) Row{k##name, {#name, &name}}
constexpr Row kRows[] = {
    KERNEL_COMMAND(FocusControl),
    KERNEL_COMMAND(ShowMessageBox),
    KERNEL_COMMAND(DestroyUnit),
    KERNEL_COMMAND(ToText),
    KERNEL_COMMAND(DoEvents),
    KERNEL_COMMAND(TextLength),
    KERNEL_COMMAND(FindTextReverse),
    KERNEL_COMMAND(RightText),
    KERNEL_COMMAND(FindText),
    KERNEL_COMMAND(ReplaceSubtext),
    KERNEL_COMMAND(RemoveFile),
    KERNEL_COMMAND(ReadRegistryText),
    KERNEL_COMMAND(GetRunDirectory),
    KERNEL_COMMAND(GetExeName),
    KERNEL_COMMAND(GetEventControl),
    KERNEL_COMMAND(IntegerDivide),
    KERNEL_COMMAND(SetParentControl),
    KERNEL_COMMAND(PopupMenu),
    KERNEL_COMMAND(TrimSpaces),
    KERNEL_COMMAND(MidText),
    KERNEL_COMMAND(ToInteger),
    KERNEL_COMMAND(ComboClear),
    KERNEL_COMMAND(ComboAddItem),
    KERNEL_COMMAND(ComboItemCount),
    KERNEL_COMMAND(OpenMemoryFile),
    KERNEL_COMMAND(WriteData),
    KERNEL_COMMAND(SeekFileStart),
    KERNEL_COMMAND(ReadData),
    KERNEL_COMMAND(CloseFile),
    KERNEL_COMMAND(GetFileLength),
    KERNEL_COMMAND(DeleteData),
    KERNEL_COMMAND(RemoveAllSpaces),
    KERNEL_COMMAND(CharFromCode),
    KERNEL_COMMAND(ToUpper),
    KERNEL_COMMAND(BlankBytes),
    KERNEL_COMMAND(BytesLength),
    KERNEL_COMMAND(LeftBytes),
    KERNEL_COMMAND(WriteBytes),
    KERNEL_COMMAND(SpaceText),
    KERNEL_COMMAND(ReadBytes),
    KERNEL_COMMAND(WriteText),
    KERNEL_COMMAND(AtFileEnd),
    KERNEL_COMMAND(ReadLine),
    KERNEL_COMMAND(ReplaceTextAt),
    KERNEL_COMMAND(LeftText),
    KERNEL_COMMAND(ToLower),
    KERNEL_COMMAND(ToNumber),
    KERNEL_COMMAND(ComboItemData),
    KERNEL_COMMAND(Remainder),
    KERNEL_COMMAND(CopyControl),
    KERNEL_COMMAND(WriteRegistry),
    KERNEL_COMMAND(FileExists),
    KERNEL_COMMAND(WriteFileBytes),
    KERNEL_COMMAND(SetFileAttrs),
};
#undef KERNEL_COMMAND

static_assert(std::size(kRows) == kKernelCommandCount, "one row per kernel command");

constexpr bool EachRowAtItsIndex() {
    for (size_t i = 0; i < std::size(kRows); ++i)
        if (kRows[i].index != KernelIndex(i)) return false;
    return true;
}
static_assert(EachRowAtItsIndex(), "the rows are in index order");

template <size_t... I>
constexpr std::array<CommandEntry, sizeof...(I)> Entries(std::index_sequence<I...>) {
    return {kRows[I].entry...};
}

}  // namespace

const std::array<CommandEntry, kKernelCommandCount> kKernelCommands =
    Entries(std::make_index_sequence<kKernelCommandCount>{});

}  // namespace rt
