// SPDX-License-Identifier: MIT
// Runs a program's main on the fuzzer's bytes as its input file, with
// /dev/null as the output.
#ifndef FUZZ_RUNMAIN_H
#define FUZZ_RUNMAIN_H

#include "memfile.h"

static inline void run_main(int (*program_main)(int, char **), const char *name,
			    const uint8_t *data, size_t size)
{
	int fd = memfile(data, size);
	char input[64], output[] = "/dev/null", prog[32];
	snprintf(prog, sizeof prog, "%s", name);
	snprintf(input, sizeof input, "/proc/self/fd/%d", fd);
	char *argv[] = {prog, input, output, NULL};
	program_main(3, argv);
	close(fd);
}

#endif
