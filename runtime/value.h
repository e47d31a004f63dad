// The value model: type tags, the 12-byte typed value record, and the layouts of texts, byte sets and arrays.
#pragma once

#include <cstdint>
#include <cstring>

namespace rt {

// Every type tag the program uses. System types live in 0x80000000-0xBFFFFFFF; library-defined types carry the
// library number in the high 16 bits and the type's 1-based place in that library in the low 16 bits.
enum TypeTag : uint32_t {
    kTagOmitted = 0,
    kTagByte = 0x80000101,
    kTagShort = 0x80000201,
    kTagInt = 0x80000301,
    kTagLong = 0x80000401,
    kTagFloat = 0x80000501,
    kTagDouble = 0x80000601,
    kTagBool = 0x80000002,
    kTagDateTime = 0x80000003,
    kTagText = 0x80000004,
    kTagBytes = 0x80000005,
    kTagSubProgram = 0x80000006,
    kTagArrayBit = 0x20000000,

    // Kernel library (1) units: the window, menu items and control types.
    kTagWindow = 0x00010001,
    kTagMenu = 0x00010003,
    kTagEditBox = 0x00010005,
    kTagShapeBox = 0x00010007,
    kTagDrawPanel = 0x00010008,
    kTagGroupBox = 0x00010009,
    kTagLabel = 0x0001000A,
    kTagButton = 0x0001000B,
    kTagCheckBox = 0x0001000C,
    kTagComboBox = 0x0001000E,
    kTagVScrollBar = 0x00010012,
    kTagProcessBar = 0x00010013,
    kTagHyperLinker = 0x0001001D,
    kTagPicBtn = 0x0001002D,
    // Extended-interface library (2) unit.
    kTagTransLabel = 0x00020005,
    // Regex library (4) object types.
    kTagRegex = 0x00040001,
    kTagSearchResult = 0x00040002,
};

inline bool IsArrayTag(uint32_t tag) { return (tag & kTagArrayBit) != 0 && tag != kTagOmitted; }
inline uint32_t ElementTag(uint32_t tag) { return tag & ~uint32_t(kTagArrayBit); }
inline bool IsSystemTag(uint32_t tag) { return tag >= 0x80000000u && tag <= 0xBFFFFFFFu; }
inline bool IsNumericTag(uint32_t tag) { return IsSystemTag(tag) && (tag & 0xFF) == 0x01; }
inline bool IsLibraryTag(uint32_t tag) { return tag >= 0x00000001u && tag <= 0x3FFFFFFFu; }

// Bytes a value of a system type occupies when stored inline (array elements, the binary file format).
// Text and byte-set elements are pointers; on x64 that is 8 bytes.
size_t StoredSize(uint32_t tag);

#pragma pack(push, 4)
// The typed value record, three 32-bit words:
//
//   +0  low   value for 1/2/4-byte types (zero-extended), low half of an 8-byte value, or low half of a pointer
//   +4  high  high half of an 8-byte value or of a pointer; for a control reference the control id
//   +8  tag   TypeTag; 0 = argument omitted (then both value words read as 0)
//
// On x64 a pointer needs both value words, which a 32-bit layout only used for 8-byte numbers.
struct Value {
    uint32_t low;
    uint32_t high;
    uint32_t tag;

    bool Omitted() const { return tag == kTagOmitted; }
    int32_t AsInt() const { return static_cast<int32_t>(low); }
    int64_t AsLong() const { return static_cast<int64_t>((uint64_t(high) << 32) | low); }
    double AsDouble() const {
        double d;
        uint64_t bits = (uint64_t(high) << 32) | low;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    float AsFloat() const {
        float f;
        std::memcpy(&f, &low, 4);
        return f;
    }
    void* AsPointer() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(AsLong())); }
    const char* AsText() const { return static_cast<const char*>(AsPointer()); }

    static Value Of(uint32_t tag, uint64_t bits) { return Value{uint32_t(bits), uint32_t(bits >> 32), tag}; }
    static Value Int(int32_t v) { return Value{uint32_t(v), 0, kTagInt}; }
    static Value Long(int64_t v) { return Of(kTagLong, uint64_t(v)); }
    static Value Bool(bool v) { return Value{v ? 1u : 0u, 0, kTagBool}; }
    static Value Double(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        return Of(kTagDouble, bits);
    }
    static Value Pointer(uint32_t tag, const void* p) { return Of(tag, uint64_t(reinterpret_cast<uintptr_t>(p))); }
    static Value Text(const char* t) { return Pointer(kTagText, t); }
    static Value Control(uint32_t type, uint32_t window, uint32_t control) { return Value{window, control, type}; }
};
#pragma pack(pop)
static_assert(sizeof(Value) == 12, "the typed value record is three 32-bit words");

// A control reference: (window id, control id). A window names itself with control id kSelfControl.
struct ControlRef {
    uint32_t window;
    uint32_t control;
    bool operator==(const ControlRef&) const = default;
};
static_assert(sizeof(ControlRef) == 8);
constexpr uint32_t kSelfControl = 0x06010000;

// Byte set block: int32 1, int32 length, bytes. Also the layout of a one-dimensional byte array.
struct ByteSetHeader {
    int32_t dims;
    int32_t length;
};
inline int32_t BytesLengthOf(const void* bytes) { return bytes ? static_cast<const ByteSetHeader*>(bytes)->length : 0; }
inline const uint8_t* BytesDataOf(const void* bytes) {
    return bytes ? static_cast<const uint8_t*>(bytes) + sizeof(ByteSetHeader) : nullptr;
}

// Array block: int32 dimension count n, n int32 sizes, then the elements.
inline int32_t ArrayDims(const void* array) { return array ? *static_cast<const int32_t*>(array) : 0; }
int64_t ArrayCount(const void* array);  // product of the dimension sizes; 0 for null or no dimensions
inline uint8_t* ArrayElements(void* array) { return static_cast<uint8_t*>(array) + 4 + 4 * size_t(ArrayDims(array)); }
inline const uint8_t* ArrayElements(const void* array) {
    return static_cast<const uint8_t*>(array) + 4 + 4 * size_t(ArrayDims(array));
}

}  // namespace rt
