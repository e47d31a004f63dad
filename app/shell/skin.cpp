// The skin engine through its two declared DLL commands; the skin files and the engine library are embedded
// byte sets (without them nothing is written, and binding the engine then fails with the runtime's error).
#include "app/shell/skin.h"

#include "runtime/call.h"
#include "runtime/dll_commands.h"
#include "runtime/kernel_commands.h"
#include "runtime/memory.h"

#ifdef PEXO_HAVE_SKIN_DATA
#include "skin/embedded_skins.h"
#endif

namespace app {

namespace {

// Declared DLL commands 17 and 18, typed as the engine exports them.
constexpr int32_t kSkinAttachRes = 17;
constexpr int32_t kSkinSetAero = 18;
using SkinAttachResFn = int32_t (*)(const void* skin, int32_t length, const char* password, int32_t, int32_t, int32_t);
using SkinSetAeroFn = int32_t (*)(int32_t on);

const void* SkinFile(int32_t index) {
#ifdef PEXO_HAVE_SKIN_DATA
    return skin::SkinByteSet(index);
#else
    (void)index;
    return nullptr;
#endif
}

const void* EngineFile() {
#ifdef PEXO_HAVE_SKIN_DATA
    return skin::EngineByteSet();
#else
    return nullptr;
#endif
}

}  // namespace

void RegisterSkinConstants() {
#ifdef PEXO_HAVE_SKIN_DATA
    skin::RegisterSkinConstants();
#endif
}

void EnsureSkinEngineFile() {
    rt::Text directory = rt::TextResult(rt::CallKernel(rt::kGetRunDirectory));
    rt::Text path = rt::Text::Copy(directory.str() + "\\SkinH_EL.dll");
    if (rt::CallKernel(rt::kFileExists, path).low != 0) return;
    const void* engine = EngineFile();
    if (!engine) return;  // nothing to write: the engine must come from elsewhere
    rt::CallKernel(rt::kWriteFileBytes, path, rt::Value::Pointer(rt::kTagBytes, engine));
    rt::CallKernel(rt::kSetFileAttrs, path, int32_t(2));
}

void LoadSkin(int32_t index) {
    EnsureSkinEngineFile();
    const void* chosen = SkinFile(index);
    rt::Bytes copy = rt::Bytes::Copy(rt::BytesDataOf(chosen), size_t(rt::BytesLengthOf(chosen)));
    int32_t length = rt::CallKernel(rt::kBytesLength, copy).AsInt();
    auto attach = reinterpret_cast<SkinAttachResFn>(rt::Helpers().callDllCommand(kSkinAttachRes));
    attach(copy.data(), length, rt::kEmptyText, 0, 0, 0);
}

void EnableSkinAero() {
    EnsureSkinEngineFile();
    auto setAero = reinterpret_cast<SkinSetAeroFn>(rt::Helpers().callDllCommand(kSkinSetAero));
    setAero(1);
}

}  // namespace app
