#pragma once
// Sounds.
//
//  - PlaySound(name, module, SND_RESOURCE | SND_ASYNC) starts the WAVE
//    resource of that name (case-insensitive) and returns at once; a new
//    sound cuts off the one playing. FALSE when there is no such resource.
//  - PlaySound(name, nullptr, 0) plays a sound of the sound scheme by name,
//    synchronously: it returns when the sound has ended. The scheme has
//    "Online" (a rising two-note chime, 300 ms); other names give FALSE.
//  - MessageBeep(type) plays the short standard beep asynchronously.
//  - ZARN_MUTE=1 silences all of them without changing how long a
//    synchronous one takes (the backend sees to that).

#include <cstdint>
#include <vector>

#include "platform/ui/wintypes.h"

namespace zarn {

constexpr DWORD SND_SYNC = 0x0000;
constexpr DWORD SND_ASYNC = 0x0001;
constexpr DWORD SND_NODEFAULT = 0x0002;
constexpr DWORD SND_ALIAS = 0x00010000;
constexpr DWORD SND_RESOURCE = 0x00040004;

constexpr int kSchemeRate = 22050;

BOOL PlaySound(const char* name, void* module, DWORD flags);
BOOL PlaySoundW(const wchar_t* name, void* module, DWORD flags);
BOOL MessageBeep(UINT type);

// The synthesised sounds, 8-bit unsigned mono at kSchemeRate.
const std::vector<uint8_t>& onlineSound();
const std::vector<uint8_t>& beepSound();

}  // namespace zarn
