// The runtime's window entries: loading the start window and property reads and writes by (window, control,
// property), carried out on the window thread. A picture written from a worker is decoded on the worker.
#include "runtime/errors.h"
#include "runtime/frame.h"
#include "ui/form.h"
#include "ui/picture_fit.h"
#include "ui/window_layer.h"

namespace ui {

namespace {

Control* ResolveForProperty(uint32_t windowId, uint32_t controlId) {
    Form* form = Form::Loaded(windowId);
    if (!form) rt::ErrorWithText("未载入欲访问窗口组件所在的窗口");
    Control* control = form->Find(controlId);
    if (!control) rt::ErrorWithText("指定窗口或窗口组件不存在或尚未载入");
    return control;
}

}  // namespace

}  // namespace ui

namespace rt {

void LoadStartWindow(uint32_t windowId) {
    bool loaded = false;
    ui::RunOnWindowThread([&] { loaded = ui::Form::Load(windowId); });
    if (!loaded) ErrorWithText("载入启动窗口失败");
}

PropertyValue ReadProperty(uint32_t window, uint32_t control, int32_t property, int32_t member) {
    PropertyValue value{0, 0};
    ui::RunOnWindowThread([&] { value = ui::ResolveForProperty(window, control)->Read(property); });
    return value;
}

void WriteProperty(uint32_t window, uint32_t control, int32_t property, int32_t member, uint32_t low, uint32_t high) {
    PropertyValue value{low, high};
    if (!ui::OnWindowThread()) {
        ui::Control::PictureBox box;
        bool picture = false;
        ui::RunOnWindowThread(
            [&] { picture = ui::ResolveForProperty(window, control)->DecodesOnCallingThread(property, &box); });
        if (picture) {
            const void* block = ui::PropertyPointer(value);
            const uint8_t* data = BytesDataOf(block);
            auto file = std::make_shared<const std::vector<uint8_t>>(data, data + BytesLengthOf(block));
            ui::FittedPicture fitted;
            ui::DecodeFittedPicture(file->data(), file->size(), box.width, box.height, box.layout, box.background,
                                    &fitted);
            ui::RunOnWindowThread([&] {
                ui::ResolveForProperty(window, control)->TakeDecodedPicture(property, std::move(file), std::move(fitted));
            });
            return;
        }
    }
    ui::RunOnWindowThread([&] { ui::ResolveForProperty(window, control)->Write(property, value); });
}

}  // namespace rt
