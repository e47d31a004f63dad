// Window descriptions: the stored layout byte for byte, the round trip, and malformed data rejected.
#include <gtest/gtest.h>

#include <cstring>

#include "ui/form_description.h"

namespace ui {
namespace {

uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

FormDescription SampleForm() {
    FormDescription form;
    form.windowId = 0x52010001;
    form.moduleId = 7;
    FormElement window;
    window.id = kWindowElementId;
    window.unitType = kUnitWindow;
    window.left = 50;
    window.width = 300;
    window.height = 200;
    window.state = kStateVisible;
    window.events = {{kEventCreated, 1}, {kEventCloseQuery, 2}};
    window.values = {TextValue(8, "标题")};
    FormElement button;
    button.id = 0x1601004a;
    button.unitType = kUnitButton;
    button.name = "按钮1";
    button.left = -5;
    button.top = 32;
    button.width = 64;
    button.height = 27;
    button.state = kStateVisible | kStateTabStop;
    button.events = {{kEventClicked, 3}};
    button.values = {TextValue(8, "列出相册"), IntValue(9, -1), BytesValue(10, {1, 2, 0, 3}),
                     FontValue(11, FontSpec{"宋体", -12, 400, 134, false, true})};
    FormElement item;
    item.id = 0x26010426;
    item.unitType = kUnitMenu;
    item.name = "在线更新";
    item.level = 1;
    item.menuStatus = kMenuDisabled;
    item.caption = "在线更新";
    item.hotKey = 0x74;
    item.clickHandler = 4;
    form.elements = {window, button, item};
    LinkChildren(form);
    return form;
}

TEST(FormDescription, HeaderAndElementTableAreLaidOutAsStored) {
    FormDescription form = SampleForm();
    std::vector<uint8_t> bytes = EncodeForms({form});
    EXPECT_EQ(Read32(bytes, 0), 8u);                  // header size: one window
    EXPECT_EQ(Read32(bytes, 4), 0x52010001u);         // window id
    EXPECT_EQ(Read32(bytes, 8), 0u);                  // its reserved word
    EXPECT_EQ(Read32(bytes, 12), 0u);                 // reserved
    EXPECT_EQ(Read32(bytes, 16), 7u);                 // module id
    EXPECT_EQ(Read32(bytes, 20), 0u);                 // empty name
    EXPECT_EQ(Read32(bytes, 24), 0u);                 // empty comment
    EXPECT_EQ(Read32(bytes, 28), 3u);                 // element count
    EXPECT_EQ(Read32(bytes, 32), bytes.size() - 36);  // element data size: everything that follows
    EXPECT_EQ(Read32(bytes, 36), kWindowElementId);
    EXPECT_EQ(Read32(bytes, 40), 0x1601004au);
    EXPECT_EQ(Read32(bytes, 44), 0x26010426u);
    const size_t bodies = 36 + 3 * 8;
    EXPECT_EQ(Read32(bytes, 48), 0u);  // first body at the start of the bodies
    // Each offset lands on a length word whose body follows; the bodies are contiguous.
    size_t expected = 0;
    for (int i = 0; i < 3; ++i) {
        uint32_t offset = Read32(bytes, 48 + 4 * i);
        EXPECT_EQ(offset, expected);
        expected += 4 + Read32(bytes, bodies + offset);
    }
    EXPECT_EQ(bodies + expected, bytes.size());
    // The window's child list holds the button (parent 0); the button body starts with its unit type.
    uint32_t buttonOffset = Read32(bytes, 52);
    EXPECT_EQ(Read32(bytes, bodies + buttonOffset + 4), uint32_t(kUnitButton));
    EXPECT_EQ(std::memcmp(&bytes[bodies + buttonOffset + 4 + 4 + 20],
                          "\xB0\xB4\xC5\xA5"
                          "1",
                          6),
              0);  // "按钮1"
}

TEST(FormDescription, RoundTripKeepsEveryField) {
    FormDescription form = SampleForm();
    std::vector<FormDescription> decoded;
    std::vector<uint8_t> bytes = EncodeForms({form, form});
    ASSERT_TRUE(DecodeForms(bytes.data(), bytes.size(), &decoded));
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0], form);
    EXPECT_EQ(decoded[1], form);
    EXPECT_EQ(decoded[0].elements[0].children, std::vector<uint32_t>{0x1601004a});
    EXPECT_EQ(decoded[0].elements[1].left, -5);
    EXPECT_EQ(decoded[0].elements[1].values[3].font.face, "宋体");
}

TEST(FormDescription, MalformedDataIsRejected) {
    std::vector<uint8_t> bytes = EncodeForms({SampleForm()});
    std::vector<FormDescription> decoded;
    EXPECT_FALSE(DecodeForms(nullptr, 0, &decoded));
    // Every truncation fails cleanly.
    for (size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(DecodeForms(bytes.data(), n, &decoded)) << n;
    // A header that claims more windows than there are bytes.
    std::vector<uint8_t> badHeader = bytes;
    badHeader[0] = 0xF8;
    badHeader[1] = 0xFF;
    EXPECT_FALSE(DecodeForms(badHeader.data(), badHeader.size(), &decoded));
    // An element offset pointing outside the bodies, an element count beyond the data, a huge child count.
    std::vector<uint8_t> badOffset = bytes;
    badOffset[52] = 0xFF;
    badOffset[53] = 0xFF;
    EXPECT_FALSE(DecodeForms(badOffset.data(), badOffset.size(), &decoded));
    std::vector<uint8_t> badCount = bytes;
    badCount[29] = 0x10;
    EXPECT_FALSE(DecodeForms(badCount.data(), badCount.size(), &decoded));
    // An unknown value kind inside a unit's data.
    std::vector<uint8_t> badKind = bytes;
    size_t at = 0;
    for (size_t i = 0; i + 5 < badKind.size(); ++i)
        if (Read32(badKind, i) == 9 && badKind[i + 4] == uint8_t(ValueKind::Int)) at = i + 4;
    ASSERT_NE(at, 0u);
    badKind[at] = 0x77;
    EXPECT_FALSE(DecodeForms(badKind.data(), badKind.size(), &decoded));
    EXPECT_TRUE(decoded.empty());
}

// Random corruption never crashes the decoder (the sanitizer build watches the reads); whatever it accepts
// encodes back to a description that decodes to the same thing.
TEST(FormDescription, CorruptedBytesAreRejectedOrConsistent) {
    std::vector<uint8_t> bytes = EncodeForms({SampleForm()});
    uint32_t seed = 12345;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> copy = bytes;
        for (int k = 0; k < 3; ++k) {
            seed = seed * 1103515245 + 12345;
            copy[(seed >> 8) % copy.size()] = uint8_t(seed >> 20);
        }
        std::vector<FormDescription> decoded, again;
        if (!DecodeForms(copy.data(), copy.size(), &decoded)) continue;
        std::vector<uint8_t> reencoded = EncodeForms(decoded);
        ASSERT_TRUE(DecodeForms(reencoded.data(), reencoded.size(), &again));
        EXPECT_EQ(again, decoded);
    }
}

}  // namespace
}  // namespace ui
