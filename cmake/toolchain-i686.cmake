# SPDX-License-Identifier: MIT
# Cross build for 32-bit x86 (crossbuild-essential-i386): 32-bit time_t,
# x87 floating point.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(WEXLAR_CROSS i686-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
