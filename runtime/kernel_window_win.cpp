// Kernel window and control commands: argument handling here, the work in the window layer.
#include "runtime/args.h"
#include "runtime/errors.h"
#include "runtime/kernel_commands.h"
#include "ui/window_layer.h"

namespace rt {

namespace {

// A control argument: (window id, control id) in the value words, its type in the tag.
ControlRef ControlArg(int32_t argc, const Value* args, int32_t i) {
    Value v = Arg(argc, args, i);
    return ControlRef{v.low, v.high};
}

}  // namespace

void FocusControl(Value*, int32_t argc, Value* args) { ui::FocusControl(ControlArg(argc, args, 0)); }

void ComboClear(Value*, int32_t argc, Value* args) { ui::ComboClear(ControlArg(argc, args, 0)); }

void ComboAddItem(Value* result, int32_t argc, Value* args) {
    SetInt(result, ui::ComboAddItem(ControlArg(argc, args, 0), ArgText(argc, args, 1), ArgInt(argc, args, 2)));
}

void ComboItemCount(Value* result, int32_t argc, Value* args) {
    SetInt(result, ui::ComboItemCount(ControlArg(argc, args, 0)));
}

void ComboItemData(Value* result, int32_t argc, Value* args) {
    SetInt(result, ui::ComboItemData(ControlArg(argc, args, 0), ArgInt(argc, args, 1)));
}

void PopupMenu(Value*, int32_t argc, Value* args) {
    ui::PopupMenu(ControlArg(argc, args, 0), ControlArg(argc, args, 1), !ArgOmitted(argc, args, 2),
                  ArgInt(argc, args, 2), !ArgOmitted(argc, args, 3), ArgInt(argc, args, 3));
}

void GetEventControl(Value* result, int32_t, Value*) {
    ControlRef source;
    uint32_t tag = 0;
    if (!ui::CurrentEventSource(&source, &tag)) ErrorWithText("“取事件组件”命令只能在事件处理子程序中使用");
    *result = Value::Control(tag, source.window, source.control);
}

// The destination is a control variable passed by reference: its address, with the variable's type as the tag.
void CopyControl(Value* result, int32_t argc, Value* args) {
    Value source = Arg(argc, args, 0);
    Value destination = Arg(argc, args, 1);
    auto* variable = static_cast<ControlRef*>(destination.Omitted() ? nullptr : destination.AsPointer());
    SetBool(result, ui::CopyControl(ControlRef{source.low, source.high}, source.tag, destination.tag, variable));
}

void SetParentControl(Value*, int32_t argc, Value* args) {
    ui::SetParentControl(ControlArg(argc, args, 0), ControlArg(argc, args, 1));
}

void DestroyUnit(Value*, int32_t argc, Value* args) {
    ui::DestroyUnit(ControlArg(argc, args, 0), ArgBool(argc, args, 1));
}

}  // namespace rt
