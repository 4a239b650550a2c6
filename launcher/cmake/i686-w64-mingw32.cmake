# Cross-compiles for 32-bit Windows with the Debian mingw-w64 tool chain.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KESTRUN_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTRUN_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${KESTRUN_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${KESTRUN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything from the tool chain goes into the executable, so it needs no DLL beyond Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
