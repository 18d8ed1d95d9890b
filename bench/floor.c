/* SPDX-License-Identifier: MIT */
/*
 * The floor for locale-probe: its whole job (argv[0] registration, the
 * locale switch, the line, the flush check) in plain C against libc alone.
 * The benchmark builds it with the compiler and flags of the real build.
 */
#define _GNU_SOURCE /* program_invocation_name */
#include <errno.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char *program_name;

static void register_name(char *argv0)
{
	if (argv0 == NULL) {
		fputs("A NULL argv[0] was passed through an exec system call.\n",
		    stderr);
		abort();
	}
	char *slash = strrchr(argv0, '/');
	char *base = slash ? slash + 1 : argv0;
	if (base - argv0 >= 7 && memcmp(base - 7, "/.libs/", 7) == 0) {
		argv0 = base;
		if (strncmp(base, "lt-", 3) == 0)
			program_invocation_short_name = argv0 = base + 3;
	}
	program_name = argv0;
	program_invocation_name = argv0;
}

int main(int argc, char *argv[])
{
	register_name(argv[0]);
	if (argc < 2 || setlocale(LC_ALL, argv[1]) == NULL)
		return 1;
	printf("%d\n", (int)MB_CUR_MAX);
	return fflush(stdout) != 0 || ferror(stdout) ? 1 : 0;
}
