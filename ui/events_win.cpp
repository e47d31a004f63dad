// The event entry: from (window, control, event) to the application's handler, with the source recorded for
// GetEventControl while the handler runs.
#include <vector>

#include "runtime/application.h"
#include "runtime/errors.h"
#include "ui/form.h"
#include "ui/window_layer.h"

namespace ui {

namespace {

struct EventSource {
    rt::ControlRef control;
    uint32_t typeTag;
};

// Handlers can pump messages and so run other handlers inside them: the sources form a stack.
std::vector<EventSource>& Sources() {
    static std::vector<EventSource> sources;
    return sources;
}

bool RaisesEvents(uint32_t type) {
    switch (type) {
        case kUnitWindow:
        case kUnitMenu:
        case kUnitEditBox:
        case kUnitShapeBox:
        case kUnitDrawPanel:
        case kUnitGroupBox:
        case kUnitLabel:
        case kUnitButton:
        case kUnitCheckBox:
        case kUnitComboBox:
        case kUnitVScrollBar:
        case kUnitProcessBar:
        case kUnitHyperLinker:
        case kUnitPicBtn:
        case kUnitTransLabel: return true;
        default: return false;
    }
}

}  // namespace

rt::Value DispatchEvent(uint32_t windowId, uint32_t controlId, int32_t event, int32_t argc, rt::Value* args,
                        bool* handled) {
    if (handled) *handled = false;
    if (rt::ProgramEnding()) return {};
    Form* form = Form::Loaded(windowId);
    if (!form) rt::ErrorWithText("未找到引发事件的窗口");
    Control* control = form->Find(controlId);
    if (!control) rt::ErrorWithText("未找到引发事件的窗口组件");
    // A copy's element is its template's, so copies run the template's handlers.
    const FormElement& element = control->element();
    if (!RaisesEvents(element.unitType)) rt::ErrorWithText("引发事件的窗口组件无效");
    int64_t slot = 0;
    if (element.IsMenuItem()) {
        if (event == kEventClicked) slot = element.clickHandler;
    } else {
        for (const EventBinding& b : element.events)
            if (b.event == event) {
                slot = b.handler;
                break;
            }
    }
    if (slot <= 0) return {};
    const rt::ApplicationImage& image = rt::CurrentApplicationImage();
    if (slot >= image.handlerCount || !image.handlers[slot]) rt::ErrorWithText("引发事件的窗口组件无效");
    Sources().push_back({{windowId, controlId}, element.unitType});
    rt::Value result = image.handlers[slot](argc, args);
    Sources().pop_back();
    if (handled) *handled = true;
    return result;
}

bool CurrentEventSource(rt::ControlRef* source, uint32_t* typeTag) {
    if (Sources().empty()) return false;
    *source = Sources().back().control;
    *typeTag = Sources().back().typeTag;
    return true;
}

}  // namespace ui
