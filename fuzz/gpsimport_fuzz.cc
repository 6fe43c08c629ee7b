// SPDX-License-Identifier: MIT
// Any bytes as gpsimport's input file, through the program's own main.
#define GPSIMPORT_NO_MAIN
#include "../contrib/gpsimport.cc"

#include "runmain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	run_main(gpsimport_main, "gpsimport", data, size);
	return 0;
}
