// A system function looked up when it is first needed, in a DLL loaded then. Every DLL the program
// imports is loaded and initialised at each start, before main: the shell's and the common controls'
// (which brings up the display driver) cost a start under Wine tens of milliseconds it rarely needs.
#pragma once

#include <windows.h>

// Null when the DLL or the function is missing.
template <typename Function>
Function systemFunction(const char* dll, const char* name) {
    HMODULE module = LoadLibraryA(dll);  // stays loaded for the rest of the run
    FARPROC found = module ? GetProcAddress(module, name) : nullptr;
    return found ? reinterpret_cast<Function>(reinterpret_cast<void*>(found)) : nullptr;
}
