// SPDX-License-Identifier: MIT
#include "progname.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// glibc declares program_invocation_name and program_invocation_short_name
// in errno.h itself; <cerrno> only includes it, and newer clang-tidy asks
// for the header that declares them.
#include <errno.h> // NOLINT(modernize-deprecated-headers)

const char *program_name = nullptr;

void set_program_name(const char *argv0)
{
	if (argv0 == nullptr) {
		// Fixed bytes in one write, with no name to put before them,
		// and nothing left to try if the write fails.
		static const char message[] =
		    "A NULL argv[0] was passed through an exec system call.\n";
		(void)std::fwrite(message, 1, sizeof message - 1, stderr);
		std::abort();
	}

	const char *slash = std::strrchr(argv0, '/');
	const char *base = slash != nullptr ? slash + 1 : argv0;

	// libtool runs an uninstalled program as DIR/.libs/lt-NAME; the user
	// knows it as NAME.  The slash before ".libs" must be there, so a bare
	// ".libs/lt-NAME" is taken as it stands.
	if (base - argv0 >= 7 && std::strncmp(base - 7, "/.libs/", 7) == 0) {
		argv0 = base;
		if (std::strncmp(base, "lt-", 3) == 0) {
			argv0 = base + 3;
			program_invocation_short_name =
			    const_cast<char *>(argv0);
		}
	}

	// glibc declares these non-const; nothing ever writes through them.
	program_name = argv0;
	program_invocation_name = const_cast<char *>(argv0);
}
