// The stored main window description: its header and element table byte for byte, every control and menu item
// with its place, state, events and unit data, and the picture button's three frame images.
#include <gtest/gtest.h>

#include <map>

#include "app/shell/handler_table.h"
#include "app/shell/main_window.h"
#include "runtime/memory.h"
#include "runtime/value.h"
#include "ui/form_description.h"
#include "ui/gif.h"

namespace app {
namespace {

using namespace ui;

uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class MainWindowForm : public ::testing::Test {
protected:
    void SetUp() override {
        block = app::MainWindowForm();
        data = rt::BytesDataOf(block);
        size = size_t(rt::BytesLengthOf(block));
        ASSERT_TRUE(DecodeForms(data, size, &windows));
        ASSERT_EQ(windows.size(), 1u);
        for (const FormElement& e : windows[0].elements) byId[e.id] = &e;
    }
    const FormElement& E(uint32_t id) { return *byId.at(id); }
    const UnitValue* Value(uint32_t id, int32_t index) {
        for (const UnitValue& v : E(id).values)
            if (v.index == index) return &v;
        return nullptr;
    }

    const void* block = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0;
    std::vector<FormDescription> windows;
    std::map<uint32_t, const FormElement*> byId;
};

TEST_F(MainWindowForm, IsAConstantByteSetWithTheStoredHeader) {
    EXPECT_EQ(static_cast<const rt::ByteSetHeader*>(block)->dims, 1);
    RegisterMainWindowForm();
    EXPECT_TRUE(rt::InConstantRange(block));
    EXPECT_TRUE(rt::InConstantRange(data + size - 1));
    EXPECT_EQ(Read32(data), 8u);
    EXPECT_EQ(Read32(data + 4), kMainWindowId);
    EXPECT_EQ(Read32(data + 20), 0u);  // empty name
    EXPECT_EQ(Read32(data + 24), 0u);  // empty comment
    EXPECT_EQ(Read32(data + 28), 40u);
    EXPECT_EQ(Read32(data + 32), size - 36);
    EXPECT_EQ(Read32(data + 36), kWindowElementId);
    // Offsets point at consecutive length-prefixed bodies.
    const uint8_t* bodies = data + 36 + 40 * 8;
    uint32_t expected = 0;
    for (int i = 0; i < 40; ++i) {
        uint32_t offset = Read32(data + 36 + 160 + 4 * i);
        EXPECT_EQ(offset, expected) << i;
        expected += 4 + Read32(bodies + offset);
    }
    EXPECT_EQ(bodies + expected, data + size);
}

TEST_F(MainWindowForm, HoldsTheWindowTwentySixControlsAndThirteenMenuItems) {
    int controls = 0, menus = 0;
    for (const FormElement& e : windows[0].elements) {
        if (e.IsMenuItem())
            ++menus;
        else if (e.id != kWindowElementId)
            ++controls;
    }
    EXPECT_EQ(controls, 26);
    EXPECT_EQ(menus, 13);
    const FormElement& w = E(form::窗口);
    EXPECT_EQ(w.unitType, uint32_t(kUnitWindow));
    EXPECT_EQ(w.left, 50);
    EXPECT_EQ(w.top, 50);
    EXPECT_EQ(w.width, 884);
    EXPECT_EQ(w.height, 669);
    EXPECT_EQ(Value(form::窗口, 8)->text, "Quen - Pexo相册图片批量下载");
    EXPECT_EQ(w.events, (std::vector<EventBinding>{{0, kCreated}, {1, kCloseQuery}, {2, kDestroy}}));
    // The window holds the group box and three hyperlinks; the group box the rest of the top row.
    EXPECT_EQ(w.children,
              (std::vector<uint32_t>{form::分组框1, form::超级链接框2, form::超级链接框5, form::超级链接框6}));
    for (uint32_t id : E(form::外形框3).children) EXPECT_EQ(E(id).parent, form::外形框3);
    EXPECT_EQ(E(form::外形框3).children.size(), 3u);
}

TEST_F(MainWindowForm, ControlsHaveTheirPlacesStatesAndEvents) {
    const FormElement& button = E(form::按钮1);
    EXPECT_EQ(button.unitType, uint32_t(kUnitButton));
    EXPECT_EQ(button.name, "按钮1");
    EXPECT_EQ(button.parent, form::分组框1);
    EXPECT_EQ(button.left, 167);
    EXPECT_EQ(button.top, 32);
    EXPECT_EQ(button.width, 64);
    EXPECT_EQ(button.height, 27);
    EXPECT_EQ(button.state, kStateVisible | kStateTabStop);
    EXPECT_EQ(button.cursor, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(Value(form::按钮1, 8)->text, "列出相册");
    for (uint32_t id : {form::按钮2, form::按钮3, form::按钮4})
        EXPECT_EQ(E(id).state, kStateVisible | kStateDisabled | kStateTabStop);
    EXPECT_EQ(E(form::纵向滚动条1).state, kStateVisible | kStateDisabled);
    EXPECT_EQ(E(form::本地).state, 0u);
    EXPECT_EQ(E(form::服务器).state, 0u);
    for (uint32_t id : {form::画板1, form::选择框1, form::图形按钮1}) EXPECT_EQ(E(id).state, kStateTemplate);
    EXPECT_EQ(E(form::外形框3).top, -8);
    EXPECT_EQ(E(form::按钮6).events, (std::vector<EventBinding>{{0, kCloseQuery}}));
    EXPECT_EQ(E(form::编辑框1).events, (std::vector<EventBinding>{{-10, kUserNameKeyUp}}));
    EXPECT_EQ(E(form::纵向滚动条1).events, (std::vector<EventBinding>{{0, kScrollMoved}, {-12, kScrollWheel}}));
    EXPECT_EQ(E(form::画板1).events, (std::vector<EventBinding>{{-1, kThumbLeftDown}, {-5, kThumbRightUp}}));
    EXPECT_TRUE(E(form::组合框1).events.empty());
    EXPECT_TRUE(E(form::超级链接框1).events.empty());
    EXPECT_EQ(Value(form::透明标签1, 8)->text, "输入Pexo用户名    ↓");
    EXPECT_EQ(Value(form::透明标签2, 9)->number, int32_t(Rgb(0, 0, 128)));
    EXPECT_EQ(Value(form::选择框1, 8)->number, int32_t(Rgb(96, 96, 96)));
    EXPECT_EQ(Value(form::画板1, 9)->number, int32_t(Rgb(247, 249, 247)));
    EXPECT_EQ(Value(form::外形框1, 11)->number, int32_t(Rgb(192, 192, 192)));
    EXPECT_EQ(Value(form::本地, 8)->text, "V1.0");
    EXPECT_EQ(Value(form::服务器, 8), nullptr) << "empty until the start-up fills it";
    // Every bound slot exists in the handler table.
    for (const FormElement& e : windows[0].elements) {
        for (const EventBinding& b : e.events) EXPECT_LT(b.handler, uint32_t(kHandlerSlotCount));
        if (e.IsMenuItem()) {
            EXPECT_LT(e.clickHandler, int32_t(kHandlerSlotCount));
        }
    }
}

TEST_F(MainWindowForm, HyperlinksCarryTheirFontAndTargets) {
    int n = 0;
    for (uint32_t id : {form::超级链接框1, form::超级链接框2, form::超级链接框3, form::超级链接框4, form::超级链接框5,
                        form::超级链接框6}) {
        const FormElement& e = E(id);
        EXPECT_EQ(e.unitType, uint32_t(kUnitHyperLinker));
        EXPECT_EQ(e.top, 16);
        EXPECT_EQ(e.width, 72);
        const UnitValue* font = Value(id, 10);
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(font->font, (FontSpec{"宋体", -12, 400, 134, false, false}));
        EXPECT_EQ(Value(id, 9)->text.rfind("http://", 0), 0u);
        ++n;
    }
    EXPECT_EQ(n, 6);
    EXPECT_EQ(Value(form::超级链接框1, 9)->text, Value(form::超级链接框3, 9)->text);
    EXPECT_EQ(Value(form::超级链接框6, 8)->text, "作者新浪微博");
}

TEST_F(MainWindowForm, PictureButtonHoldsThreeFrameImagesOf576Bytes) {
    const uint32_t colors[3] = {0xFFF2C1D1, 0xFFDFF2C1, 0xFFF1F9E4};
    for (int i = 0; i < 3; ++i) {
        const UnitValue* v = Value(form::图形按钮1, 8 + i);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->bytes.size(), 576u);
        DecodedImage image;
        ASSERT_TRUE(DecodeGif(v->bytes.data(), v->bytes.size(), &image));
        EXPECT_EQ(image.width, 162);
        EXPECT_EQ(image.height, 175);
        EXPECT_EQ(image.pixels[0], colors[i]);
        EXPECT_EQ(image.pixels[size_t(80) * 162 + 81], 0u) << "transparent inside";
    }
}

TEST_F(MainWindowForm, MenusAreInOrderWithOnlyTheMenuBarEntryVisible) {
    std::vector<std::string> captions;
    for (const FormElement& e : windows[0].elements)
        if (e.IsMenuItem()) captions.push_back(e.caption);
    EXPECT_EQ(captions,
              (std::vector<std::string>{"选择", "重新载入", "-", "全选", "全不选", "反选", "-", "刷新", "菜单",
                                        "在线更新", "创建桌面图标", "删除桌面图标", "将Quen推荐的导航网站设为首页"}));
    EXPECT_EQ(E(form::选择).level, 0u);
    EXPECT_EQ(E(form::选择).menuStatus, kMenuHidden);
    EXPECT_EQ(E(form::重新载入).menuStatus, kMenuHidden);
    EXPECT_EQ(E(form::重新载入分隔线).menuStatus, kMenuHidden);
    EXPECT_EQ(E(form::菜单).menuStatus, 0u);
    EXPECT_EQ(E(form::删除桌面图标).menuStatus, 0u) << "hidden at start by the start-up, not here";
    EXPECT_EQ(E(form::在线更新).level, 1u);
    EXPECT_EQ(E(form::刷新).clickHandler, int32_t(kRefresh));
    EXPECT_EQ(E(form::刷新分隔线).clickHandler, -1);
}

}  // namespace
}  // namespace app
