// Turns the program's Windows paths into POSIX ones: every backslash becomes a slash.
#pragma once

#include <string>

std::string nativePath(const char* windowsPath);
