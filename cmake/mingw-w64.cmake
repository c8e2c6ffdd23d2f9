# Cross-building the Windows console program with mingw-w64 for the machine
# that CMAKE_SYSTEM_PROCESSOR names; included by one toolchain file per machine.
set(CMAKE_SYSTEM_NAME Windows)
set(mingw_target ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_target}-gcc)
set(CMAKE_CXX_COMPILER ${mingw_target}-g++)
set(CMAKE_RC_COMPILER ${mingw_target}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_target})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
