#include "screens/sounds.h"

#include "platform/ui/sound.h"

namespace zarn {

bool PlayWaveResource(const char* name) { return PlaySound(name, nullptr, SND_RESOURCE | SND_ASYNC) != FALSE; }

void playOnlineSound() { PlaySound("Online", nullptr, 0); }

void playCommandBeep() { MessageBeep(MB_ICONEXCLAMATION); }

}  // namespace zarn
