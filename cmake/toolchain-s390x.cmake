# SPDX-License-Identifier: MIT
# Cross build for 64-bit big-endian s390x (crossbuild-essential-s390x); its
# programs run under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(WEXLAR_CROSS s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
