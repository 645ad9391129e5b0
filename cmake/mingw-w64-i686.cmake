# Cross toolchain for the 32-bit Windows build (MinGW-w64, posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESTREL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Its programs also run on Windows XP SP3, which lacks some imports the runtime libraries bring along
# (src/platform/CMakeLists.txt links the stand-ins).
set(KESTREL_WINDOWS_XP ON)
