// The window description: a loaded window's elements (the window itself, its controls, its menu items) and the
// binary layout the program stores them in. The encoder is constexpr so that a window can be encoded at build time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// Unit types, as stored in an element (library number in the high 16 bits, 1-based place in the low 16 bits).
enum UnitType : uint32_t {
    kUnitWindow = 0x10001,
    kUnitMenu = 0x10003,
    kUnitEditBox = 0x10005,
    kUnitShapeBox = 0x10007,
    kUnitDrawPanel = 0x10008,
    kUnitGroupBox = 0x10009,
    kUnitLabel = 0x1000A,
    kUnitButton = 0x1000B,
    kUnitCheckBox = 0x1000C,
    kUnitComboBox = 0x1000E,
    kUnitVScrollBar = 0x10012,
    kUnitProcessBar = 0x10013,
    kUnitHyperLinker = 0x1001D,
    kUnitPicBtn = 0x1002D,
    kUnitTransLabel = 0x20005,
};

// The element id by which a window names itself.
constexpr uint32_t kWindowElementId = 0x06010000;

// Control state flags.
enum StateFlag : uint32_t {
    kStateVisible = 1u << 0,
    kStateDisabled = 1u << 1,
    kStateTabStop = 1u << 2,
    kStateTemplate = 1u << 4,
};

// Menu-item status flags.
enum MenuStatus : uint32_t {
    kMenuHidden = 1u << 0,
    kMenuDisabled = 1u << 1,
};

// Common event numbers; a unit's own events count from 0.
enum EventNumber : int32_t {
    kEventLeftDown = -1,
    kEventLeftUp = -2,
    kEventDoubleClick = -3,
    kEventRightDown = -4,
    kEventRightUp = -5,
    kEventMouseMove = -6,
    kEventKeyDown = -9,
    kEventKeyUp = -10,
    kEventChar = -11,
    kEventWheel = -12,
    kEventClicked = 0,          // button, check box, picture button, hyperlink
    kEventPositionChanged = 0,  // scroll bar
    kEventCreated = 0,          // window
    kEventCloseQuery = 1,       // window
    kEventDestroy = 2,          // window
};

// A colour value meaning "the system's default colour".
constexpr uint32_t kDefaultColor = 0xFF000000;
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

struct EventBinding {
    int32_t event = 0;
    uint32_t handler = 0;  // slot in the application's handler table; 0 = none
    constexpr bool operator==(const EventBinding&) const = default;
};

struct FontSpec {
    std::string face;
    int32_t height = 0;
    int32_t weight = 400;
    uint8_t charset = 0;
    bool italic = false;
    bool underline = false;
    constexpr bool operator==(const FontSpec&) const = default;
};

// One stored value of a unit's own properties: the property index and a value of the kind that index declares.
enum class ValueKind : uint8_t { Int = 1, Text = 2, Bytes = 3, Font = 4 };
struct UnitValue {
    int32_t index = 0;
    ValueKind kind = ValueKind::Int;
    int32_t number = 0;
    std::string text;
    std::vector<uint8_t> bytes;
    FontSpec font;
    constexpr bool operator==(const UnitValue&) const = default;
};

constexpr UnitValue IntValue(int32_t index, int32_t v) { return UnitValue{index, ValueKind::Int, v, {}, {}, {}}; }
constexpr UnitValue TextValue(int32_t index, const char* t) { return UnitValue{index, ValueKind::Text, 0, t, {}, {}}; }
constexpr UnitValue BytesValue(int32_t index, std::vector<uint8_t> b) {
    return UnitValue{index, ValueKind::Bytes, 0, {}, static_cast<std::vector<uint8_t>&&>(b), {}};
}
constexpr UnitValue FontValue(int32_t index, FontSpec f) { return UnitValue{index, ValueKind::Font, 0, {}, {}, f}; }

struct FormElement {
    uint32_t id = 0;
    uint32_t unitType = 0;
    std::string name;
    std::string comment;
    // The window and controls.
    int32_t left = 0, top = 0, width = 0, height = 0;
    uint32_t parent = 0;  // 0 = the window
    std::vector<uint32_t> children;
    std::vector<uint8_t> cursor = {0, 0, 0, 0};
    std::string tag;
    uint32_t state = 0;
    std::vector<EventBinding> events;
    std::vector<UnitValue> values;
    // Menu items.
    uint32_t hotKey = 0;
    uint32_t level = 0;
    uint32_t menuStatus = 0;
    std::string caption;
    int32_t clickHandler = -1;

    constexpr bool IsMenuItem() const { return unitType == kUnitMenu; }
    constexpr bool operator==(const FormElement&) const = default;
};

struct FormDescription {
    uint32_t windowId = 0;
    uint32_t moduleId = 0;
    std::string name;
    std::string comment;
    std::vector<FormElement> elements;
    constexpr bool operator==(const FormDescription&) const = default;
};

// Builders for descriptions written as tables: a control (or the window) and a menu item.
constexpr FormElement ControlElement(uint32_t id, uint32_t unitType, const char* name, uint32_t parent, int left,
                                     int top, int width, int height, uint32_t state,
                                     std::vector<EventBinding> events = {}, std::vector<UnitValue> values = {}) {
    FormElement e;
    e.id = id;
    e.unitType = unitType;
    e.name = name;
    e.parent = parent;
    e.left = left;
    e.top = top;
    e.width = width;
    e.height = height;
    e.state = state;
    e.events = static_cast<std::vector<EventBinding>&&>(events);
    e.values = static_cast<std::vector<UnitValue>&&>(values);
    return e;
}

constexpr FormElement MenuElement(uint32_t id, const char* name, uint32_t level, const char* caption, uint32_t status,
                                  int32_t clickHandler) {
    FormElement e;
    e.id = id;
    e.unitType = kUnitMenu;
    e.name = name;
    e.level = level;
    e.menuStatus = status;
    e.caption = caption;
    e.clickHandler = clickHandler;
    return e;
}

// Fills every control's child list (and the window element's) from the parent fields, in element order.
constexpr void LinkChildren(FormDescription& form) {
    for (auto& e : form.elements) e.children.clear();
    for (auto& owner : form.elements) {
        if (owner.IsMenuItem()) continue;
        uint32_t ownerId = owner.id == kWindowElementId ? 0 : owner.id;
        for (const auto& e : form.elements)
            if (!e.IsMenuItem() && e.id != kWindowElementId && e.parent == ownerId) owner.children.push_back(e.id);
    }
}

namespace encoding {

constexpr void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
constexpr void PutZeros(std::vector<uint8_t>& out, size_t n) {
    for (size_t i = 0; i < n; ++i) out.push_back(0);
}
constexpr void PutZText(std::vector<uint8_t>& out, const std::string& s) {
    for (char c : s) out.push_back(uint8_t(c));
    out.push_back(0);
}
constexpr void PutLengthBytes(std::vector<uint8_t>& out, const std::string& s) {
    Put32(out, uint32_t(s.size()));
    for (char c : s) out.push_back(uint8_t(c));
}
constexpr void Patch32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

constexpr void PutUnitValue(std::vector<uint8_t>& out, const UnitValue& v) {
    Put32(out, uint32_t(v.index));
    out.push_back(uint8_t(v.kind));
    switch (v.kind) {
        case ValueKind::Int: Put32(out, uint32_t(v.number)); break;
        case ValueKind::Text: PutZText(out, v.text); break;
        case ValueKind::Bytes:
            Put32(out, uint32_t(v.bytes.size()));
            for (uint8_t b : v.bytes) out.push_back(b);
            break;
        case ValueKind::Font:
            Put32(out, uint32_t(v.font.height));
            Put32(out, uint32_t(v.font.weight));
            out.push_back(v.font.charset);
            out.push_back(v.font.italic ? 1 : 0);
            out.push_back(v.font.underline ? 1 : 0);
            PutZText(out, v.font.face);
            break;
    }
}

constexpr void PutElementBody(std::vector<uint8_t>& out, const FormElement& e) {
    Put32(out, e.unitType);
    PutZeros(out, 20);
    PutZText(out, e.name);
    PutZText(out, e.comment);
    if (e.IsMenuItem()) {
        Put32(out, e.hotKey);
        Put32(out, e.level);
        Put32(out, e.menuStatus);
        PutZText(out, e.caption);
        Put32(out, uint32_t(e.clickHandler));
        PutZeros(out, 16);
        return;
    }
    Put32(out, 0);
    Put32(out, uint32_t(e.left));
    Put32(out, uint32_t(e.top));
    Put32(out, uint32_t(e.width));
    Put32(out, uint32_t(e.height));
    Put32(out, 0);
    Put32(out, e.parent);
    Put32(out, uint32_t(e.children.size()));
    for (uint32_t c : e.children) Put32(out, c);
    Put32(out, uint32_t(e.cursor.size()));
    for (uint8_t b : e.cursor) out.push_back(b);
    PutZText(out, e.tag);
    Put32(out, 0);
    Put32(out, e.state);
    Put32(out, 0);
    Put32(out, uint32_t(e.events.size()));
    for (const auto& ev : e.events) {
        Put32(out, uint32_t(ev.event));
        Put32(out, ev.handler);
    }
    PutZeros(out, 20);
    for (const auto& v : e.values) PutUnitValue(out, v);
}

}  // namespace encoding

// The stored form data of a set of windows:
//   header size (8 per window), window ids, one reserved word per window; then per window: reserved, module id,
//   name and comment (32-bit length + bytes), element count, element data size (the bytes that follow), element
//   ids, element offsets (from the start of the bodies), and the bodies (32-bit length + body each).
constexpr std::vector<uint8_t> EncodeForms(const std::vector<FormDescription>& windows) {
    using namespace encoding;
    std::vector<uint8_t> out;
    Put32(out, uint32_t(8 * windows.size()));
    for (const auto& w : windows) Put32(out, w.windowId);
    for (size_t i = 0; i < windows.size(); ++i) Put32(out, 0);
    for (const auto& w : windows) {
        Put32(out, 0);
        Put32(out, w.moduleId);
        PutLengthBytes(out, w.name);
        PutLengthBytes(out, w.comment);
        Put32(out, uint32_t(w.elements.size()));
        size_t sizeAt = out.size();
        Put32(out, 0);
        size_t dataStart = out.size();
        for (const auto& e : w.elements) Put32(out, e.id);
        size_t offsetsAt = out.size();
        PutZeros(out, 4 * w.elements.size());
        size_t bodiesStart = out.size();
        for (size_t i = 0; i < w.elements.size(); ++i) {
            Patch32(out, offsetsAt + 4 * i, uint32_t(out.size() - bodiesStart));
            size_t lengthAt = out.size();
            Put32(out, 0);
            PutElementBody(out, w.elements[i]);
            Patch32(out, lengthAt, uint32_t(out.size() - lengthAt - 4));
        }
        Patch32(out, sizeAt, uint32_t(out.size() - dataStart));
    }
    return out;
}

// Decodes stored form data; false (and nothing trusted) for short, inconsistent or malformed input.
bool DecodeForms(const uint8_t* data, size_t size, std::vector<FormDescription>* windows);

}  // namespace ui
