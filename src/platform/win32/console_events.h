// The console control routine kestrel registers with the system, declared for the Windows-only tests
// that play the system's part.
#pragma once

#include <cstdint>

// Forwards a control event to the program's handler. For a console close, logoff or shutdown it then
// waits until platformConsoleStopDone (about 4 s at most). Non-zero when the event was handled.
int win32ConsoleCtrlRoutine(uint32_t ctrlType);

// The class of the hidden window that receives the session's end (logoff, shutdown) and hands it to
// the routine above as CTRL_LOGOFF_EVENT or CTRL_SHUTDOWN_EVENT.
constexpr const char* kSessionEndWindowClass = "kestrel session end";
