// Any bytes as one record's text, with no terminator: decoded, then
// printed as a GPX and a CSV item.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "mag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	// An exact copy, so that a read past the end is caught.
	char *text = (char *)malloc(size ? size : 1);
	memcpy(text, data, size);
	struct trkrec trk;
	memset(&trk, 0, sizeof trk);
	char item[POINT_TEXT_SIZE];
	for (int pass = 0; pass < 2; pass++) {  // the second reuses the point
		if (parsemagdata(text, size, &trk)) {
			format_point(POINT_GPX, &trk, item);
			format_point(POINT_CSV, &trk, item);
		}
	}
	free(text);
	return 0;
}
