/* SPDX-License-Identifier: MIT */
/* The --version option that every program of the project takes. */
#ifndef COMMON_VERSION_H
#define COMMON_VERSION_H

#include <stdio.h>
#include <string.h>

#ifndef WEXLAR_VERSION
#error "WEXLAR_VERSION must be defined by the build"
#endif

/* True when the command line is the program's name and "--version" alone. */
static inline bool wants_version(int argc, char **argv)
{
	return argc == 2 && strcmp(argv[1], "--version") == 0;
}

/* Prints "name version" on standard output; returns the exit status. */
static inline int print_version(const char *name)
{
	printf("%s %s\n", name, WEXLAR_VERSION);
	return fclose(stdout) == 0 ? 0 : 1;
}

#endif
