// The calling frame: zeroed result records, omitted arguments, the helper table and the kernel table order.
#include <gtest/gtest.h>

#include "runtime/args.h"
#include "runtime/call.h"
#include "runtime/kernel_commands.h"

namespace rt {
namespace {

Value seenResultBefore;
int32_t seenArgc;
Value seenThird;

void Probe(Value* result, int32_t argc, Value* args) {
    seenResultBefore = *result;
    seenArgc = argc;
    seenThird = Arg(argc, args, 2);
    SetInt(result, ArgInt(argc, args, 0) + ArgInt(argc, args, 1));
}

TEST(CallingFrame, ResultRecordIsZeroedAndMissingArgumentsAreOmitted) {
    Value r = CallLibrary(&Probe, int32_t(2), int32_t(40));
    EXPECT_EQ(seenResultBefore.low | seenResultBefore.high | seenResultBefore.tag, 0u);
    EXPECT_EQ(seenArgc, 2);
    EXPECT_TRUE(seenThird.Omitted());
    EXPECT_EQ(seenThird.low | seenThird.high, 0u);
    EXPECT_EQ(r.AsInt(), 42);
    EXPECT_EQ(r.tag, kTagInt);
}

TEST(CallingFrame, FrameLaysTheCountBeforeTheRecords) {
    ArgumentFrame<2> frame{2, {Value::Int(1), Value{0, 0, 0}}};
    auto* words = reinterpret_cast<const uint32_t*>(&frame);
    EXPECT_EQ(words[0], 2u);
    EXPECT_EQ(words[1], 1u);
    EXPECT_EQ(words[3], kTagInt);
    EXPECT_EQ(sizeof frame, 4u + 24u);
}

TEST(CallingFrame, HelperTableSlotsInOrder) {
    const HelperTable& h = Helpers();
    EXPECT_EQ(h.memAlloc, &MemAlloc);
    EXPECT_EQ(h.memFree, &MemFree);
    EXPECT_EQ(h.callKernelCommand, &CallKernelCommand);
    EXPECT_EQ(h.misc, &MiscOperationCall);
}

TEST(CallingFrame, MiscCopyOnWriteAndOmittedOperations) {
    void* array = NewArray(kTagInt, 2);
    void* before = array;
    Value args[2] = {Value::Int(4), Value::Pointer(kTagInt | kTagArrayBit, &array)};
    Value r = MiscOperationCall(kMiscArrayCopyOnWrite, 2, args);
    EXPECT_EQ(array, before);  // a heap array is left alone
    EXPECT_EQ(r.tag, 0u);
    MemFree(array);
}

TEST(KernelTable, IndexOrderAndNames) {
    EXPECT_STREQ(kKernelCommands[kFocusControl].name, "FocusControl");
    EXPECT_STREQ(kKernelCommands[3].name, "ToText");
    EXPECT_STREQ(kKernelCommands[8].name, "FindText");
    EXPECT_STREQ(kKernelCommands[24].name, "OpenMemoryFile");
    EXPECT_STREQ(kKernelCommands[43].name, "ReplaceTextAt");
    EXPECT_STREQ(kKernelCommands[53].name, "SetFileAttrs");
    for (const CommandEntry& e : kKernelCommands) EXPECT_NE(e.fn, nullptr) << e.name;
}

TEST(KernelTable, ACommandThisBuildLacksFailsLoudly) {
    EXPECT_EXIT(CallKernel(kFocusControl, Value::Control(kTagButton, 0x52010001, 0x1601004a)),
                ::testing::ExitedWithCode(255), "FocusControl");
}

}  // namespace
}  // namespace rt
