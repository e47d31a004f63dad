// The 33 skin files and the skin engine library, embedded as constant byte-set blocks {int32 1, int32 length, bytes}.
#pragma once

namespace skin {

// Skin file 1..33 as a constant byte-set block; null for any other index.
const void* SkinByteSet(int index);
// The skin engine library file (SkinH_EL.dll) as a constant byte-set block.
const void* EngineByteSet();
// Registers every block's address range as a runtime constant, so the runtime never frees or resizes them.
void RegisterSkinConstants();

}  // namespace skin
