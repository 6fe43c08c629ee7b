// SPDX-License-Identifier: MIT
// Any bytes as linedump's input file, through the program's own main.
#define LINEDUMP_NO_MAIN
#include "../contrib/linedump.cc"

#include "runmain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	run_main(linedump_main, "linedump", data, size);
	return 0;
}
