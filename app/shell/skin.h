// The skin engine: the library file it is loaded from, attaching a skin and its translucent-frame mode.
#pragma once

#include <cstdint>

namespace app {

// Puts the skin engine library into the program's directory when no file of that name is there.
void EnsureSkinEngineFile();
// Attaches skin 1..33 (any other index attaches the empty skin).
void LoadSkin(int32_t index);
// Switches the engine's translucent-frame mode on.
void EnableSkinAero();
// Registers the embedded skin files and the engine library as constant ranges.
void RegisterSkinConstants();

}  // namespace app
