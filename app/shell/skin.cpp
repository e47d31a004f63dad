// The skin engine through its two declared DLL commands; the skin files and the engine library are embedded
// byte sets. The engine is loaded only from a file holding the embedded library's bytes; without the embedded
// library, or when no such file can be put beside the program, the program runs without a skin.
#include "app/shell/skin.h"

#include "app/shell/skin_engine_file.h"

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

// The engine library beside the program, made the program's own and held while the engine is loaded from it.
HeldEngineFile HoldSkinEngineFile() {
    rt::Text directory = rt::TextResult(rt::CallKernel(rt::kGetRunDirectory));
    const void* engine = EngineFile();
    if (!engine) return {};
    return HoldEngineFile(directory.str() + "\\SkinH_EL.dll", rt::BytesDataOf(engine),
                          size_t(rt::BytesLengthOf(engine)));
}

}  // namespace

void RegisterSkinConstants() {
#ifdef PEXO_HAVE_SKIN_DATA
    skin::RegisterSkinConstants();
#endif
}

void LoadSkin(int32_t index) {
    HeldEngineFile engine = HoldSkinEngineFile();
    if (!engine.held()) return;  // no engine of the program's own: it runs without a skin
    const void* chosen = SkinFile(index);
    rt::Bytes copy = rt::Bytes::Copy(rt::BytesDataOf(chosen), size_t(rt::BytesLengthOf(chosen)));
    int32_t length = rt::CallKernel(rt::kBytesLength, copy).AsInt();
    auto attach = reinterpret_cast<SkinAttachResFn>(rt::Helpers().callDllCommand(kSkinAttachRes));
    attach(copy.data(), length, rt::kEmptyText, 0, 0, 0);
}

void EnableSkinAero() {
    HeldEngineFile engine = HoldSkinEngineFile();
    if (!engine.held()) return;
    auto setAero = reinterpret_cast<SkinSetAeroFn>(rt::Helpers().callDllCommand(kSkinSetAero));
    setAero(1);
}

}  // namespace app
