// The skin engine library file beside the program, loaded only when it holds the program's own engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace app {

// The engine file held open for reading only, so that nobody writes, renames or deletes it while it is held:
// the library loaded meanwhile is the one whose bytes were checked. Empty when the file could not be made the
// program's own engine.
class HeldEngineFile {
public:
    HeldEngineFile() = default;
    explicit HeldEngineFile(void* file) : file_(file) {}
    HeldEngineFile(HeldEngineFile&& o) noexcept : file_(std::exchange(o.file_, nullptr)) {}
    HeldEngineFile& operator=(HeldEngineFile&& o) noexcept {
        std::swap(file_, o.file_);
        return *this;
    }
    ~HeldEngineFile();
    bool held() const { return file_ != nullptr; }

private:
    void* file_ = nullptr;
};

// Makes the file at path (GBK) hold exactly the engine's bytes, writing it anew (hidden) when it is missing or
// holds anything else, and holds it. A file a download or another program left there under the engine's name
// is never loaded: when it cannot be replaced, nothing is held.
HeldEngineFile HoldEngineFile(const std::string& path, const uint8_t* engine, size_t length);

}  // namespace app
