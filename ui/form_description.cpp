// Decoder of stored window descriptions; every read is bounds-checked, so malformed data is rejected, never trusted.
#include "ui/form_description.h"

namespace ui {

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

    bool ok() const { return ok_; }
    size_t left() const { return size_t(end_ - p_); }
    const uint8_t* at() const { return p_; }

    uint32_t U32() {
        if (!Need(4)) return 0;
        uint32_t v = uint32_t(p_[0]) | uint32_t(p_[1]) << 8 | uint32_t(p_[2]) << 16 | uint32_t(p_[3]) << 24;
        p_ += 4;
        return v;
    }
    int32_t I32() { return int32_t(U32()); }
    uint8_t U8() {
        if (!Need(1)) return 0;
        return *p_++;
    }
    void Skip(size_t n) {
        if (Need(n)) p_ += n;
    }
    std::string ZText() {
        const uint8_t* s = p_;
        while (s < end_ && *s) ++s;
        if (s == end_) return Fail(), std::string();
        std::string t(reinterpret_cast<const char*>(p_), size_t(s - p_));
        p_ = s + 1;
        return t;
    }
    std::string LengthText() {
        uint32_t n = U32();
        if (!Need(n)) return {};
        std::string t(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return t;
    }
    std::vector<uint8_t> LengthBytes() {
        uint32_t n = U32();
        if (!Need(n)) return {};
        std::vector<uint8_t> b(p_, p_ + n);
        p_ += n;
        return b;
    }
    // A count of items that each take at least itemSize bytes: larger counts than the data can hold are malformed.
    uint32_t Count(size_t itemSize) {
        uint32_t n = U32();
        if (ok_ && size_t(n) * itemSize > left()) Fail();
        return ok_ ? n : 0;
    }
    void Fail() {
        ok_ = false;
        p_ = end_;
    }

private:
    bool Need(size_t n) {
        if (!ok_ || size_t(end_ - p_) < n) {
            Fail();
            return false;
        }
        return true;
    }
    const uint8_t* p_;
    const uint8_t* end_;
    bool ok_ = true;
};

bool ReadUnitValue(Reader& r, UnitValue* v) {
    v->index = r.I32();
    v->kind = ValueKind(r.U8());
    switch (v->kind) {
        case ValueKind::Int: v->number = r.I32(); break;
        case ValueKind::Text: v->text = r.ZText(); break;
        case ValueKind::Bytes: v->bytes = r.LengthBytes(); break;
        case ValueKind::Font:
            v->font.height = r.I32();
            v->font.weight = r.I32();
            v->font.charset = r.U8();
            v->font.italic = r.U8() != 0;
            v->font.underline = r.U8() != 0;
            v->font.face = r.ZText();
            break;
        default: r.Fail();
    }
    return r.ok();
}

bool ReadElementBody(Reader& r, FormElement* e) {
    e->unitType = r.U32();
    r.Skip(20);
    e->name = r.ZText();
    e->comment = r.ZText();
    if (e->IsMenuItem()) {
        e->hotKey = r.U32();
        e->level = r.U32();
        e->menuStatus = r.U32();
        e->caption = r.ZText();
        e->clickHandler = r.I32();
        r.Skip(16);
        return r.ok() && r.left() == 0;
    }
    r.Skip(4);
    e->left = r.I32();
    e->top = r.I32();
    e->width = r.I32();
    e->height = r.I32();
    r.Skip(4);
    e->parent = r.U32();
    uint32_t children = r.Count(4);
    e->children.clear();
    for (uint32_t i = 0; i < children; ++i) e->children.push_back(r.U32());
    e->cursor = r.LengthBytes();
    e->tag = r.ZText();
    r.Skip(4);
    e->state = r.U32();
    r.Skip(4);
    uint32_t events = r.Count(8);
    e->events.clear();
    for (uint32_t i = 0; i < events; ++i) {
        EventBinding b;
        b.event = r.I32();
        b.handler = r.U32();
        e->events.push_back(b);
    }
    r.Skip(20);
    e->values.clear();
    while (r.ok() && r.left() > 0) {
        UnitValue v;
        if (!ReadUnitValue(r, &v)) return false;
        e->values.push_back(std::move(v));
    }
    return r.ok();
}

bool ReadWindow(Reader& r, FormDescription* w) {
    r.Skip(4);
    w->moduleId = r.U32();
    w->name = r.LengthText();
    w->comment = r.LengthText();
    uint32_t count = r.Count(12);
    uint32_t dataSize = r.U32();
    if (!r.ok() || dataSize > r.left() || size_t(count) * 8 > dataSize) return false;
    Reader data(r.at(), dataSize);
    r.Skip(dataSize);
    std::vector<uint32_t> ids(count), offsets(count);
    for (auto& id : ids) id = data.U32();
    for (auto& off : offsets) off = data.U32();
    const uint8_t* bodies = data.at();
    size_t bodiesSize = data.left();
    w->elements.assign(count, FormElement{});
    for (uint32_t i = 0; i < count; ++i) {
        if (offsets[i] > bodiesSize || bodiesSize - offsets[i] < 4) return false;
        Reader lengthReader(bodies + offsets[i], 4);
        uint32_t length = lengthReader.U32();
        if (length > bodiesSize - offsets[i] - 4) return false;
        Reader body(bodies + offsets[i] + 4, length);
        w->elements[i].id = ids[i];
        if (!ReadElementBody(body, &w->elements[i])) return false;
    }
    return data.ok();
}

}  // namespace

bool DecodeForms(const uint8_t* data, size_t size, std::vector<FormDescription>* windows) {
    windows->clear();
    if (!data) return false;
    Reader r(data, size);
    uint32_t headerSize = r.U32();
    if (!r.ok() || headerSize == 0 || headerSize % 8 != 0 || headerSize > r.left()) return false;
    size_t count = headerSize / 8;
    std::vector<FormDescription> result(count);
    for (auto& w : result) w.windowId = r.U32();
    r.Skip(4 * count);
    for (auto& w : result)
        if (!ReadWindow(r, &w)) return false;
    if (!r.ok()) return false;
    *windows = std::move(result);
    return true;
}

}  // namespace ui
