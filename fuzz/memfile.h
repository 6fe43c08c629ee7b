// SPDX-License-Identifier: MIT
// An unnamed in-memory file holding the fuzzer's bytes.
#ifndef FUZZ_MEMFILE_H
#define FUZZ_MEMFILE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

// A descriptor at offset 0 of a file holding the size bytes of data.
static inline int memfile(const uint8_t *data, size_t size)
{
	int fd = memfd_create("fuzz", 0);
	if (fd < 0) {
		perror("memfd_create");
		abort();
	}
	size_t done = 0;
	while (done < size) {
		ssize_t n = write(fd, data + done, size - done);
		if (n <= 0) {
			perror("write");
			abort();
		}
		done += (size_t)n;
	}
	lseek(fd, 0, SEEK_SET);
	return fd;
}

#endif
