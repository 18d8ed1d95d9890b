// SPDX-License-Identifier: MIT
// locale-probe LOCALE: switch every category to LOCALE and print MB_CUR_MAX.
// There are no options: every argument is a locale name, and only the
// first counts.  The exit status is the answer; nothing is ever said.
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "progname.h"

int main(int argc, char *argv[])
{
	set_program_name(argv[0]);

	if (argc < 2)
		std::exit(EXIT_FAILURE);

	// An empty name is passed on too: the C library then reads LC_ALL,
	// LC_CTYPE and LANG from the environment.
	if (std::setlocale(LC_ALL, argv[1]) == nullptr)
		std::exit(EXIT_FAILURE);

	std::printf("%d\n", static_cast<int>(MB_CUR_MAX));

	// A line that never arrived (a full disk; a closed pipe, where SIGPIPE
	// is ignored and so does not end the process first) is no answer.
	if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
		std::exit(EXIT_FAILURE);
	std::exit(EXIT_SUCCESS);
}
