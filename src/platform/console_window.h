// The console window kestrel may have to itself: started by a double-click, a shortcut or the
// simulator's auto-start, it is the only process in its console, and the window closes when it ends.
#pragma once

// 1 when no other process is attached to kestrel's console and both standard input and output are
// that console itself (not redirected); 0 from a command prompt, with a redirection, and on POSIX,
// which has no console of a program's own.
int platformOwnsConsole();

// 1 when nobody can see kestrel's console window: the start-up information asked for a hidden window
// (SW_HIDE), as a program that starts kestrel hidden does, or the console has no window at all; 0
// otherwise, and on POSIX.
int platformConsoleHidden();

// Turns QuickEdit off on the console input: with it on, a click into the window starts a selection
// that blocks every later console write, and with it the main loop, until Esc. Keeps the mode it found
// for platformRestoreConsoleMode. Call only when the console is owned; 1 when the mode was changed.
int platformConsoleQuickEditOff();

// Puts back exactly the input mode platformConsoleQuickEditOff found. Nothing when it changed nothing;
// harmless more than once, and never blocks on a console that is going away.
void platformRestoreConsoleMode();

constexpr const char* kPressEnterText = "Press Enter to close this window.";

// Prints kPressEnterText and a line end on the console and returns on Enter, at the end of the
// input, on a read error, or when the console closes (a close event then ends the process at once
// instead of waiting for a stop path). Keys typed before the prompt do not count.
void platformWaitForEnter();
