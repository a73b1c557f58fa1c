// How the frame tick reaches the window. The tick calls these on its own
// thread, in this order: PresentFrame, DrawQuietPrompt (only on the ticks that
// show the prompt), EndPresent. The platform layer implements them (on Windows,
// the display surface); tests implement them with a recorder.
#pragma once

// Obtains the window's drawing context, keeps it until EndPresent, and copies
// the whole frame to the window's client area at (0, 0).
void PresentFrame();

// Draws text over the window (not into the frame) through the same context.
void DrawQuietPrompt(const char16_t* text);

// Releases the context. Called on every path out of a tick that called
// PresentFrame, also when something failed in between.
void EndPresent();
