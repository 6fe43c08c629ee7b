// Any bytes as gpsimport's input file, through the program's own main.
#define GPSIMPORT_NO_MAIN
#include "../contrib/gpsimport.cc"

#include "memfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	int fd = memfile(data, size);
	char input[64], output[] = "/dev/null", prog[] = "gpsimport";
	snprintf(input, sizeof input, "/proc/self/fd/%d", fd);
	char *argv[] = {prog, input, output, NULL};
	gpsimport_main(3, argv);
	close(fd);
	return 0;
}
