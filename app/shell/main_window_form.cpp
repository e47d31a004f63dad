// The main window's description, written as a table and encoded at build time into a constant byte set.
#include <array>

#include "app/shell/addresses.h"
#include "app/shell/handler_table.h"
#include "app/shell/main_window.h"
#include "runtime/memory.h"
#include "ui/form_description.h"
#include "ui/gif.h"

namespace app {

namespace {

using namespace ui;
using namespace form;

constexpr uint32_t V = kStateVisible, D = kStateDisabled, T = kStateTabStop, TEMPLATE = kStateTemplate;
constexpr uint32_t kGrey = Rgb(192, 192, 192);

// Own property numbers of the unit types, as the window layer declares them.
namespace label {
constexpr int32_t kCaption = 8, kTextColor = 9;
}
namespace combo {
constexpr int32_t kStyle = 8, kSorted = 9, kBackColor = 10, kDropHeight = 11;
}
namespace shape {
constexpr int32_t kShape = 8, kBorderStyle = 9, kBorderWidth = 10, kBorderColor = 11, kBackColor = 12;
}
namespace panel {
constexpr int32_t kBackColor = 9;
}
namespace check {
constexpr int32_t kTextColor = 8, kCaption = 11;
}
namespace link {
constexpr int32_t kCaption = 8, kAddress = 9, kFont = 10;
}
namespace picture {
constexpr int32_t kNormal = 8, kHover = 9, kPressed = 10;
}
namespace progress {
constexpr int32_t kMaximum = 12, kPosition = 13;
}

constexpr UnitValue LinkFont() { return FontValue(link::kFont, FontSpec{"宋体", -12, 400, 134, false, false}); }

constexpr FormElement Hyperlink(uint32_t id, const char* name, uint32_t parent, int left, const char* caption,
                                const char* address) {
    return ControlElement(id, kUnitHyperLinker, name, parent, left, 16, 72, 16, V, {},
                          {TextValue(link::kCaption, caption), TextValue(link::kAddress, address), LinkFont()});
}

// The highlight frame's images: 162 x 175, a 5-pixel frame in one colour, index 1 (white) transparent, 576 bytes each.
constexpr std::vector<uint8_t> FrameImage(uint32_t color) { return FrameGif(162, 175, color, 5, 576); }

constexpr FormDescription MainWindowDescription() {
    FormDescription f;
    f.windowId = kMainWindowId;
    f.moduleId = 1;
    f.elements = {
        ControlElement(窗口, kUnitWindow, "主窗口", 0, 50, 50, 884, 669, V,
                       {{kEventCreated, kCreated}, {kEventCloseQuery, kCloseQuery}, {kEventDestroy, kDestroy}},
                       {TextValue(label::kCaption, "Quen - Pexo相册图片批量下载")}),
        ControlElement(分组框1, kUnitGroupBox, "分组框1", 0, 0, 0, 878, 616, V),
        ControlElement(
            透明标签1, kUnitTransLabel, "透明标签1", 分组框1, 16, 16, 124, 22, V, {},
            {TextValue(label::kCaption, "输入Pexo用户名    ↓"), IntValue(label::kTextColor, Rgb(128, 0, 0))}),
        ControlElement(编辑框1, kUnitEditBox, "编辑框1", 分组框1, 16, 38, 146, 20, V | T,
                       {{kEventKeyUp, kUserNameKeyUp}}),
        ControlElement(按钮1, kUnitButton, "按钮1", 分组框1, 167, 32, 64, 27, V | T, {{kEventClicked, kListAlbums}},
                       {TextValue(label::kCaption, "列出相册")}),
        ControlElement(
            透明标签2, kUnitTransLabel, "透明标签2", 分组框1, 237, 16, 169, 22, V, {},
            {TextValue(label::kCaption, "选择该用户相册名称        ↓"), IntValue(label::kTextColor, Rgb(0, 0, 128))}),
        ControlElement(组合框1, kUnitComboBox, "组合框1", 分组框1, 237, 38, 265, 20, V | T, {},
                       {IntValue(combo::kStyle, 2), IntValue(combo::kSorted, 0),
                        IntValue(combo::kBackColor, Rgb(255, 255, 255)), IntValue(combo::kDropHeight, 160)}),
        ControlElement(按钮2, kUnitButton, "按钮2", 分组框1, 508, 32, 64, 28, V | D | T,
                       {{kEventClicked, kListPictures}}, {TextValue(label::kCaption, "列出图片")}),
        ControlElement(按钮3, kUnitButton, "按钮3", 分组框1, 578, 32, 120, 27, V | D | T,
                       {{kEventClicked, kDownloadChecked}}, {TextValue(label::kCaption, "下载选中图片")}),
        ControlElement(按钮4, kUnitButton, "按钮4", 分组框1, 704, 32, 120, 27, V | D | T,
                       {{kEventClicked, kDownloadAll}}, {TextValue(label::kCaption, "下载该相册所有图片")}),
        ControlElement(按钮6, kUnitButton, "按钮6", 分组框1, 828, 32, 43, 27, V | T, {{kEventClicked, kCloseQuery}},
                       {TextValue(label::kCaption, "退出")}),
        ControlElement(本地, kUnitLabel, "本地", 分组框1, 328, 40, 56, 16, 0, {}, {TextValue(label::kCaption, "V1.0")}),
        ControlElement(服务器, kUnitLabel, "服务器", 分组框1, 400, 40, 72, 16, 0),
        Hyperlink(超级链接框1, "超级链接框1", 分组框1, 160, "Lumo网址导航", kNavigationPage),
        Hyperlink(超级链接框2, "超级链接框2", 0, 408, "Lumo城市导航", kNavigationPage),
        Hyperlink(超级链接框3, "超级链接框3", 分组框1, 502, "Lumo搜索大全", kNavigationPage),
        Hyperlink(超级链接框4, "超级链接框4", 分组框1, 608, "作者博客", kAuthorSite),
        Hyperlink(超级链接框5, "超级链接框5", 0, 705, "作者腾讯微博", kAuthorTencentWeibo),
        Hyperlink(超级链接框6, "超级链接框6", 0, 797, "作者新浪微博", kAuthorSinaWeibo),
        ControlElement(外形框1, kUnitShapeBox, "外形框1", 分组框1, 16, 69, 855, 523, V, {},
                       {IntValue(shape::kShape, 0), IntValue(shape::kBorderStyle, 1), IntValue(shape::kBorderWidth, 2),
                        IntValue(shape::kBorderColor, kGrey)}),
        ControlElement(外形框2, kUnitShapeBox, "外形框2", 外形框1, 2, 2, 835, 521, V, {},
                       {IntValue(shape::kBorderStyle, 0), IntValue(shape::kBackColor, Rgb(236, 236, 236))}),
        ControlElement(纵向滚动条1, kUnitVScrollBar, "纵向滚动条1", 外形框1, 837, 2, 16, 513, V | D,
                       {{kEventPositionChanged, kScrollMoved}, {kEventWheel, kScrollWheel}}),
        ControlElement(外形框3, kUnitShapeBox, "外形框3", 外形框2, 0, -8, 835, 545, V,
                       {{kEventLeftDown, kGridLeftDown}, {kEventRightUp, kGridRightUp}},
                       {IntValue(shape::kBorderStyle, 0), IntValue(shape::kBackColor, Rgb(255, 255, 255))}),
        ControlElement(画板1, kUnitDrawPanel, "画板1", 外形框3, 8, 13, 150, 143, TEMPLATE,
                       {{kEventLeftDown, kThumbLeftDown}, {kEventRightUp, kThumbRightUp}},
                       {IntValue(panel::kBackColor, Rgb(247, 249, 247))}),
        ControlElement(选择框1, kUnitCheckBox, "选择框1", 外形框3, 8, 164, 150, 20, TEMPLATE,
                       {{kEventRightUp, kGridRightUp}, {kEventClicked, kFocusScrollBar}},
                       {IntValue(check::kTextColor, Rgb(96, 96, 96)), TextValue(check::kCaption, "横五纵三隔四")}),
        ControlElement(图形按钮1, kUnitPicBtn, "图形按钮1", 外形框3, 166, 8, 162, 176, TEMPLATE,
                       {{kEventRightUp, kGridRightUp}, {kEventClicked, kFocusScrollBar}},
                       {BytesValue(picture::kNormal, FrameImage(Rgb(242, 193, 209))),
                        BytesValue(picture::kHover, FrameImage(Rgb(223, 242, 193))),
                        BytesValue(picture::kPressed, FrameImage(Rgb(241, 249, 228)))}),
        ControlElement(进度条1, kUnitProcessBar, "进度条1", 分组框1, 16, 599, 855, 12, V, {},
                       {IntValue(progress::kMaximum, 100), IntValue(progress::kPosition, 0)}),

        MenuElement(选择, "选择", 0, "选择", kMenuHidden, -1),
        MenuElement(重新载入, "重新载入", 1, "重新载入", kMenuHidden, kReloadThumbnail),
        MenuElement(重新载入分隔线, "分隔线1", 1, "-", kMenuHidden, -1),
        MenuElement(全选, "全选", 1, "全选", 0, kCheckAll),
        MenuElement(全不选, "全不选", 1, "全不选", 0, kCheckNone),
        MenuElement(反选, "反选", 1, "反选", 0, kInvertChecks),
        MenuElement(刷新分隔线, "分隔线2", 1, "-", 0, -1),
        MenuElement(刷新, "刷新", 1, "刷新", 0, kRefresh),
        MenuElement(菜单, "菜单", 0, "菜单", 0, -1),
        MenuElement(在线更新, "在线更新", 1, "在线更新", 0, kCheckForUpdate),
        MenuElement(创建桌面图标, "创建桌面图标", 1, "创建桌面图标", 0, kCreateShortcut),
        MenuElement(删除桌面图标, "删除桌面图标", 1, "删除桌面图标", 0, kDeleteShortcut),
        MenuElement(设为首页, "设为首页", 1, "将Quen推荐的导航网站设为首页", 0, kSetHomePage),
    };
    LinkChildren(f);
    return f;
}

constexpr std::vector<uint8_t> EncodedMainWindow() { return EncodeForms({MainWindowDescription()}); }
constexpr size_t kFormSize = EncodedMainWindow().size();

// A byte-set block: {1, length}, then the bytes.
struct FormBlock {
    int32_t dims;
    int32_t length;
    std::array<uint8_t, kFormSize> bytes;
};

constexpr FormBlock MakeFormBlock() {
    FormBlock block{1, int32_t(kFormSize), {}};
    std::vector<uint8_t> encoded = EncodedMainWindow();
    for (size_t i = 0; i < kFormSize; ++i) block.bytes[i] = encoded[i];
    return block;
}

alignas(8) constexpr FormBlock kMainWindowForm = MakeFormBlock();

}  // namespace

const void* MainWindowForm() { return &kMainWindowForm; }

void RegisterMainWindowForm() { rt::RegisterConstantRange(&kMainWindowForm, &kMainWindowForm + 1); }

}  // namespace app
