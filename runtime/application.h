// What the application hands the runtime at start: its stored window descriptions and its event-handler table.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace rt {

// An event handler: the event's arguments in order; the result matters only for events that expect an answer
// (the close query's boolean).
using EventHandler = Value (*)(int32_t argc, Value* args);

struct ApplicationImage {
    const void* formData = nullptr;          // byte-set block {1, length, bytes} of the window descriptions
    const EventHandler* handlers = nullptr;  // handler table; a description's handler offset is a slot in it
    int32_t handlerCount = 0;                // slots, slot 0 included (slot 0 is never a handler)
};

void SetApplicationImage(const ApplicationImage& image);
const ApplicationImage& CurrentApplicationImage();

}  // namespace rt
