// Typed declarations of the 19 declared DLL commands. Each call binds its entry lazily through the runtime and
// calls it with the declared signature, so an argument that does not fit the declaration fails to compile.
#pragma once

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <utility>

#include "runtime/frame.h"

namespace rt::dll {

template <int32_t Index, typename Fn>
struct DllCommand {
    template <typename... A>
    auto operator()(A&&... args) const {
        return reinterpret_cast<Fn>(ResolveDllCommand(Index))(std::forward<A>(args)...);
    }
};

// The skin engine's two entries (a library outside the program; only these call sites fix their types).
using SkinAttachResFn = int32_t (*)(const void* skin, int32_t length, const char* password, int32_t, int32_t, int32_t);
using SkinSetAeroFn = int32_t (*)(int32_t on);

inline constexpr DllCommand<0, decltype(&::CreateWaitableTimerA)> CreateWaitableTimerA{};
inline constexpr DllCommand<1, decltype(&::SetWaitableTimer)> SetWaitableTimer{};
inline constexpr DllCommand<2, decltype(&::MsgWaitForMultipleObjects)> MsgWaitForMultipleObjects{};
inline constexpr DllCommand<3, decltype(&::CloseHandle)> CloseHandle{};
inline constexpr DllCommand<4, decltype(&::URLDownloadToFileA)> URLDownloadToFileA{};
inline constexpr DllCommand<5, decltype(&::CreateThread)> CreateThread{};
inline constexpr DllCommand<6, decltype(&::MsgWaitForMultipleObjects)> MsgWaitForMultipleObjectsForThread{};
inline constexpr DllCommand<7, decltype(&::TerminateThread)> TerminateThread{};
inline constexpr DllCommand<8, decltype(&::CloseHandle)> CloseThreadHandle{};
inline constexpr DllCommand<9, decltype(&::InternetOpenA)> InternetOpenA{};
inline constexpr DllCommand<10, decltype(&::InternetConnectA)> InternetConnectA{};
inline constexpr DllCommand<11, decltype(&::InternetCloseHandle)> InternetCloseHandle{};
inline constexpr DllCommand<12, decltype(&::HttpOpenRequestA)> HttpOpenRequestA{};
inline constexpr DllCommand<13, decltype(&::HttpSendRequestA)> HttpSendRequestA{};
inline constexpr DllCommand<14, decltype(&::InternetReadFile)> InternetReadFile{};
inline constexpr DllCommand<15, decltype(&::HttpQueryInfoA)> HttpQueryInfoA{};
inline constexpr DllCommand<16, decltype(&::InternetSetCookieA)> InternetSetCookieA{};
inline constexpr DllCommand<17, SkinAttachResFn> SkinH_AttachRes{};
inline constexpr DllCommand<18, SkinSetAeroFn> SkinH_SetAero{};

}  // namespace rt::dll
