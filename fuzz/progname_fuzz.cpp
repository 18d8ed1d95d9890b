// SPDX-License-Identifier: MIT
// libFuzzer target: set_program_name on any argv[0], checked against the
// rules it must keep whatever the bytes.
#include "progname.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void require(bool ok)
{
	if (!ok)
		std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(
    const std::uint8_t *data, std::size_t size)
{
	// An argv[0] ends at its first NUL, as the kernel hands it over.
	const std::string argv0(reinterpret_cast<const char *>(data),
	    strnlen(reinterpret_cast<const char *>(data), size));
	const char *const s = argv0.c_str();
	const std::size_t len = argv0.size();

	char previous[] = "previous";
	program_invocation_short_name = previous;
	set_program_name(s);

	// The name is the very tail of argv[0]: no copy, nothing beyond it.
	require(program_invocation_name == program_name);
	require(program_name >= s && program_name <= s + len);
	require(
	    std::strlen(program_name) == len - std::size_t(program_name - s));

	const char *slash = std::strrchr(s, '/');
	const std::size_t base =
	    slash != nullptr ? std::size_t(slash - s) + 1 : 0;
	const bool libs =
	    base >= 7 && std::memcmp(s + base - 7, "/.libs/", 7) == 0;
	const bool lt = libs && argv0.compare(base, 3, "lt-") == 0;
	const std::size_t dropped = std::size_t(program_name - s);

	// Changed only, and always, under a "/.libs/" directory; "lt-" goes
	// once at most; the short name follows only when "lt-" went.
	require(dropped == (libs ? base + (lt ? 3 : 0) : 0));
	require(
	    program_invocation_short_name == (lt ? program_name : previous));
	return 0;
}
