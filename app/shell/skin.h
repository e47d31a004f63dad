// The skin engine: attaching a skin and its translucent-frame mode.
#pragma once

#include <cstdint>

namespace app {

// Attaches skin 1..33 (any other index attaches the empty skin); nothing without the engine.
void LoadSkin(int32_t index);
// Switches the engine's translucent-frame mode on; nothing without the engine.
void EnableSkinAero();
// Registers the embedded skin files and the engine library as constant ranges.
void RegisterSkinConstants();

}  // namespace app
