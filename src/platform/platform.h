// Everything kestrel needs from the operating system, in the program's own terms.
//
// Two implementations stand behind this header: src/platform/win32 makes the real Win32 calls, and
// src/platform/posix provides stand-ins with the same observable rules, so the same program logic
// runs (and is tested) on Linux. Nothing outside src/platform includes <windows.h>.
//
// Paths handed to these functions are Windows paths ("C:\kestrel\kestrel.ini", "C:\FS9\scenery.cfg");
// the POSIX side turns backslashes into slashes when it touches the file system.
#pragma once

// One header per concern; a new concern gets its own header, included here.
#include "platform/bulk_memory.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/console_window.h"
#include "platform/file_io.h"
#include "platform/file_mapping.h"
#include "platform/instance_lock.h"
#include "platform/ipc_transport.h"
#include "platform/path_text.h"
#include "platform/processors.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/progress_window.h"
#include "platform/sim_folder.h"
#include "platform/system_error.h"
#include "platform/virtual_store.h"
