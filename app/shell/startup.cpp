// Start-up and shutdown: the entry sequence, the creation handler (skin, patterns, work lock, server version),
// the close guard and the destruction handler.
#include "app/shell/startup.h"

#include <cfenv>
#include <string>

#include "app/shell/addresses.h"
#include "app/shell/globals.h"
#include "app/shell/handler_table.h"
#include "app/shell/scraping_patterns.h"
#include "runtime/library_commands.h"
#include "app/shell/main_window.h"
#include "app/shell/skin.h"
#include "app/web/index_pages.h"
#include "app/web/fetch_limits.h"
#include "runtime/application.h"
#include "runtime/call.h"

namespace app {

namespace {

// The five scraping patterns, compiled in this order.
struct PatternText {
    void** pattern;
    const char* text;
};
const PatternText kPatternTexts[] = {
    {&purlPattern, kPurlPatternText},   {&pnamePattern, kPnamePatternText},     {&pnumPattern, kPnumPatternText},
    {&psrcPattern, kPsrcPatternText}, {&forimgsPattern, kForimgsPatternText},
};

void WriteMainProperty(uint32_t control, int32_t property, rt::Value value) {
    rt::Helpers().writeProperty(kMainWindowId, control, property, -1, value.low, value.high);
}

}  // namespace

int32_t AppEntry() {
    rt::Helpers().misc(rt::kMiscRuntimeInit, 0, nullptr);
    std::fesetenv(FE_DFL_ENV);
    ReadAddressOverrides();
    RegisterMainWindowForm();
    RegisterSkinConstants();
    rt::SetApplicationImage({MainWindowForm(), kHandlerTable, kHandlerSlotCount});
    InitGlobals();
    rt::Value exitRoutine = rt::Value::Pointer(rt::kTagSubProgram, reinterpret_cast<const void*>(&FreeGlobals));
    rt::Helpers().misc(rt::kMiscSetExitRoutine, 1, &exitRoutine);
    rt::Helpers().loadStartWindow(kMainWindowId);
    rt::Helpers().runMessageLoop();
    return 0;
}

rt::Value OnMainWindowCreated(int32_t, rt::Value*) {
    LoadSkin(10);
    EnableSkinAero();
    WriteMainProperty(form::删除桌面图标, 3, rt::Value::Bool(false));
    for (const PatternText& p : kPatternTexts)
        rt::CallLibrary(&rt::RegexCompile, rt::Ref{*p.pattern, rt::kTagRegex}, p.text, false);
    workLock = rt::CallLibrary(&rt::CreateSection).AsInt();
    rt::Text address = rt::Text::Copy(std::string(UpdateRoot()) + kServerVersionPath);
    rt::Bytes version =
        rt::BytesResult(rt::CallLibrary(&rt::HttpReadFile, address, kUpdateFileMaxBytes, kUpdateFileDeadlineMs));
    rt::Text text = rt::TextResult(rt::CallKernel(rt::kToText, version));
    WriteMainProperty(form::服务器, 8, rt::Value::Text(text.c_str()));
    return {};
}

// Refuses while a listing (busy) or a download runs; otherwise destroys the window once this handler returns.
rt::Value OnMainWindowCloseQuery(int32_t, rt::Value*) {
    if (WorkRunning()) {
        rt::CallKernel(rt::kShowMessageBox, "程序正忙，请稍后再关闭。", int32_t(64), "提示");
        return rt::Value::Bool(false);
    }
    rt::CallKernel(rt::kDestroyUnit, rt::Value::Control(rt::kTagWindow, kMainWindowId, form::窗口));
    return {};
}

rt::Value OnMainWindowDestroy(int32_t, rt::Value*) {
    rt::CallLibrary(&rt::DeleteSection, workLock);
    rt::Helpers().exitProgram(0);
    return {};  // not reached: the program has ended
}

}  // namespace app
