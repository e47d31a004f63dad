// SHA-256 of a byte string, as lower-case hex: the manifest's fingerprint of each full-size picture.
#pragma once

#include <string>
#include <string_view>

namespace album {

std::string Sha256Hex(std::string_view data);

}  // namespace album
