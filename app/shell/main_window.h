// The main window: its identifier, the identifiers of its controls and menu items by their form names, and its
// stored description.
#pragma once

#include <cstdint>

namespace app {

constexpr uint32_t kMainWindowId = 0x52010001;

// Control and menu-item identifiers, named as in the form.
namespace form {
constexpr uint32_t 窗口 = 0x06010000;  // the window itself
constexpr uint32_t 分组框1 = 0x16010045;
constexpr uint32_t 透明标签1 = 0x16010046;
constexpr uint32_t 编辑框1 = 0x16010047;
constexpr uint32_t 按钮1 = 0x1601004a;
constexpr uint32_t 透明标签2 = 0x1601004f;
constexpr uint32_t 组合框1 = 0x1601004b;
constexpr uint32_t 按钮2 = 0x1601004c;
constexpr uint32_t 按钮3 = 0x1601004d;
constexpr uint32_t 按钮4 = 0x1601004e;
constexpr uint32_t 按钮6 = 0x16010052;
constexpr uint32_t 本地 = 0x1601045f;
constexpr uint32_t 服务器 = 0x16010460;
constexpr uint32_t 超级链接框1 = 0x1601044a;
constexpr uint32_t 超级链接框2 = 0x1601044b;
constexpr uint32_t 超级链接框3 = 0x1601044c;
constexpr uint32_t 超级链接框4 = 0x1601044d;
constexpr uint32_t 超级链接框5 = 0x1601044e;
constexpr uint32_t 超级链接框6 = 0x1601044f;
constexpr uint32_t 外形框1 = 0x16010056;
constexpr uint32_t 外形框2 = 0x16010090;
constexpr uint32_t 纵向滚动条1 = 0x16010061;
constexpr uint32_t 外形框3 = 0x16010312;
constexpr uint32_t 画板1 = 0x16010317;
constexpr uint32_t 选择框1 = 0x16010318;
constexpr uint32_t 图形按钮1 = 0x16010316;
constexpr uint32_t 进度条1 = 0x1601006c;

constexpr uint32_t 选择 = 0x26010075;
constexpr uint32_t 重新载入 = 0x2601033d;
constexpr uint32_t 重新载入分隔线 = 0x2601033e;
constexpr uint32_t 全选 = 0x26010076;
constexpr uint32_t 全不选 = 0x26010077;
constexpr uint32_t 反选 = 0x26010078;
constexpr uint32_t 刷新分隔线 = 0x26010079;
constexpr uint32_t 刷新 = 0x2601007a;
constexpr uint32_t 菜单 = 0x26010425;
constexpr uint32_t 在线更新 = 0x26010426;
constexpr uint32_t 创建桌面图标 = 0x26010427;
constexpr uint32_t 删除桌面图标 = 0x26010428;
constexpr uint32_t 设为首页 = 0x26010448;
}  // namespace form

// The stored description of the main window: a constant byte-set block {1, length, bytes}, registered as a
// constant range by RegisterMainWindowForm.
const void* MainWindowForm();
void RegisterMainWindowForm();

}  // namespace app
