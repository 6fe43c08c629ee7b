// Any bytes as linedump's input file, through the program's own main.
#define LINEDUMP_NO_MAIN
#include "../contrib/linedump.cc"

#include "memfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	int fd = memfile(data, size);
	char input[64], output[] = "/dev/null", prog[] = "linedump";
	snprintf(input, sizeof input, "/proc/self/fd/%d", fd);
	char *argv[] = {prog, input, output, NULL};
	linedump_main(3, argv);
	close(fd);
	return 0;
}
