// Access to the byte-set blocks that the generated assembly file embeds (skin files and the engine library).
#include "skin/embedded_skins.h"

#include "runtime/memory.h"

// Defined by the generated embedded_skins_data.cpp: {begin, end} of skin 1..33, then of the engine library.
extern "C" const void* const pexo_skin_blocks[2 * 34];

namespace skin {

const void* SkinByteSet(int index) { return index >= 1 && index <= 33 ? pexo_skin_blocks[2 * (index - 1)] : nullptr; }

const void* EngineByteSet() { return pexo_skin_blocks[2 * 33]; }

void RegisterSkinConstants() {
    for (int i = 0; i < 34; ++i) rt::RegisterConstantRange(pexo_skin_blocks[2 * i], pexo_skin_blocks[2 * i + 1]);
}

}  // namespace skin
