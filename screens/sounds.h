#pragma once
// The application's sounds: WAVE recordings among its own resources, the
// sound scheme's "Online" and the standard beep.

namespace zarn {

// Starts the WAVE resource and returns at once; a new sound cuts off the one
// still playing. False when the program has no such sound.
bool PlayWaveResource(const char* name);
// The sound scheme's "Online"; returns when it has played.
void playOnlineSound();
// The short beep of Return to Main Menu and the logging commands.
void playCommandBeep();

}  // namespace zarn
