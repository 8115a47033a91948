# Cross-building the core for 64-bit Windows with Debian's mingw-w64 (the posix thread model,
# which std::thread and std::mutex need). The programs link the GCC run-time libraries and the
# thread library statically, so that nothing but DUCTA.dll has to lie beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VR620_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${VR620_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VR620_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VR620_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VR620_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Tests and discovery run the programs under Wine.
find_program(VR620_WINE wine)
if(VR620_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VR620_WINE})
endif()
