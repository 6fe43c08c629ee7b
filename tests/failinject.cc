// SPDX-License-Identifier: MIT
// Preloaded into a program under test (LD_PRELOAD) to make one system call
// fail with EIO, as WEXLAR_FAIL says:
//   fsync        every fsync
//   rename       every rename
//   write=N      every write of exactly N bytes
//   lseek=N      every lseek to offset N from the start
//   new=N        the N-th allocation through operator new (from 1), and
//                every one after it, throw std::bad_alloc (or, of the
//                nothrow forms, return null)
//   new-count    nothing fails; at exit, "failinject: N allocations
//                through operator new" on standard error, N being 0
//                where the program calls an operator new of its own (as
//                under clang's AddressSanitizer, whose runtime is linked
//                into the program), so that new=N cannot take effect
// Everything else passes through to the C library.

// Both lseek and lseek64 are replaced, each under its own name, whatever
// the programs' file offsets.  A build for 64-bit times on a 32-bit machine
// (-D_TIME_BITS=64, as Debian builds its 32-bit ports) needs 64-bit file
// offsets, which glibc enforces: this module uses neither.
#undef _FILE_OFFSET_BITS
#undef _TIME_BITS
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <new>

namespace {

// True when WEXLAR_FAIL names call, with the number n where it has one.
bool fails(const char *call, long long n = -1)
{
	const char *spec = getenv("WEXLAR_FAIL");
	size_t len = strlen(call);
	if (spec == nullptr || strncmp(spec, call, len) != 0)
		return false;
	if (spec[len] == '\0')
		return n < 0;
	return spec[len] == '=' && atoll(spec + len + 1) == n;
}

template <typename F> F next(const char *name)
{
	return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int fsync(int fd)
{
	if (fails("fsync")) {
		errno = EIO;
		return -1;
	}
	return next<int (*)(int)>("fsync")(fd);
}

int rename(const char *from, const char *to)
{
	if (fails("rename")) {
		errno = EIO;
		return -1;
	}
	return next<int (*)(const char *, const char *)>("rename")(from, to);
}

ssize_t write(int fd, const void *buf, size_t n)
{
	if (fails("write", (long long)n)) {
		errno = EIO;
		return -1;
	}
	return next<ssize_t (*)(int, const void *, size_t)>("write")(fd, buf,
								      n);
}

off_t lseek(int fd, off_t offset, int whence)
{
	if (whence == SEEK_SET && fails("lseek", (long long)offset)) {
		errno = EIO;
		return -1;
	}
	return next<off_t (*)(int, off_t, int)>("lseek")(fd, offset, whence);
}

off64_t lseek64(int fd, off64_t offset, int whence)
{
	if (whence == SEEK_SET && fails("lseek", (long long)offset)) {
		errno = EIO;
		return -1;
	}
	return next<off64_t (*)(int, off64_t, int)>("lseek64")(fd, offset,
							      whence);
}

}  // extern "C"

// operator new on the C heap, failing from the allocation that WEXLAR_FAIL
// names on; delete to match.
namespace {

unsigned long allocations;

void *allocate(size_t n)
{
	const char *spec = getenv("WEXLAR_FAIL");
	allocations++;
	if (spec != nullptr && strncmp(spec, "new=", 4) == 0 &&
	    allocations >= strtoul(spec + 4, nullptr, 10))
		throw std::bad_alloc();
	void *p = malloc(n == 0 ? 1 : n);
	if (p == nullptr)
		throw std::bad_alloc();
	return p;
}

// The count that new-count asks for, once the program is done.
__attribute__((destructor)) void report_allocations()
{
	const char *spec = getenv("WEXLAR_FAIL");
	if (spec != nullptr && strcmp(spec, "new-count") == 0)
		fprintf(stderr, "failinject: %lu allocations through operator new\n",
			allocations);
}

}  // namespace

void *operator new(size_t n) { return allocate(n); }
void *operator new[](size_t n) { return allocate(n); }
// The forms that return null, so that every new is paired with the delete
// below (the library's sorts take their buffers so).
void *operator new(size_t n, const std::nothrow_t &) noexcept
{
	try {
		return allocate(n);
	} catch (const std::bad_alloc &) {
		return nullptr;
	}
}
void *operator new[](size_t n, const std::nothrow_t &tag) noexcept
{
	return operator new(n, tag);
}
void operator delete(void *p, const std::nothrow_t &) noexcept { free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { free(p); }
void operator delete(void *p) noexcept { free(p); }
void operator delete[](void *p) noexcept { free(p); }
void operator delete(void *p, size_t) noexcept { free(p); }
void operator delete[](void *p, size_t) noexcept { free(p); }
