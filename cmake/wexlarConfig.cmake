# SPDX-License-Identifier: MIT
# find_package(wexlar): the imported targets wexlar::palmdb (the Palm
# database library) and wexlar::track (decoding and writers; links
# wexlar::palmdb).  Headers: #include <wexlar/pdb.h>, <wexlar/mag.h>.
include(${CMAKE_CURRENT_LIST_DIR}/wexlarTargets.cmake)
