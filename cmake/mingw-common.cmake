# Shared by the MinGW-w64 toolchain files, which set TOCKLET_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR. The posix-thread compilers: the win32-thread ones
# lack std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TOCKLET_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOCKLET_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOCKLET_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOCKLET_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# scripts/lib/wine-env.sh puts a `wine` first on PATH that runs this machine's
# loader, whatever /usr/bin/wine would pick.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# Static runtime: Wine then needs no MinGW DLLs beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
