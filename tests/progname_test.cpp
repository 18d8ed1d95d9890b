// SPDX-License-Identifier: MIT
#include "progname.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

struct NameCase {
	const char *argv0;
	const char *name; // program_name and program_invocation_name
	// program_invocation_short_name, or null where it must not change
	const char *short_name;
};

const NameCase name_cases[] = {
    {"/usr/bin/tool", "/usr/bin/tool", nullptr},
    {"tool", "tool", nullptr},
    {"build/.libs/lt-tool", "tool", "tool"},
    {"build/.libs/tool", "tool", nullptr},
    {"/.libs/lt-tool", "tool", "tool"},
    {".libs/lt-tool", ".libs/lt-tool", nullptr}, // only 6 bytes before the base
    {"x.libs/lt-tool", "x.libs/lt-tool", nullptr}, // 7 bytes, but no slash
    {"build/lt-tool", "build/lt-tool", nullptr},
    {"build/.LIBS/lt-tool", "build/.LIBS/lt-tool", nullptr},
    {"build/.libs/lt-lt-tool", "lt-tool", "lt-tool"},
    {"build/.libs/lt-", "", ""},
    {"build/.libs/", "", nullptr},
    {"build/.libs/lt", "lt", nullptr},
    {"a/.libs/b/.libs/lt-tool", "tool", "tool"},
    {"build/.libs/x/lt-tool", "build/.libs/x/lt-tool", nullptr},
    {"", "", nullptr},
};

TEST(SetProgramName, RecordsTheNameInsideArgv0)
{
	char *const original_short = program_invocation_short_name;
	for (const NameCase &c : name_cases) {
		SCOPED_TRACE(std::string("argv[0] = \"") + c.argv0 + '"');
		// A private copy, so that a name pointing elsewhere is caught.
		std::string argv0 = c.argv0;
		char sentinel[] = "unchanged";
		program_invocation_short_name = sentinel;

		set_program_name(argv0.c_str());

		EXPECT_STREQ(program_name, c.name);
		EXPECT_EQ(program_invocation_name, program_name);
		// The name is a tail of argv[0]: the very bytes, not a copy.
		EXPECT_EQ(program_name,
		    argv0.c_str() + argv0.size() - std::strlen(c.name));
		if (c.short_name == nullptr) {
			EXPECT_EQ(program_invocation_short_name, sentinel);
		} else {
			EXPECT_STREQ(
			    program_invocation_short_name, c.short_name);
			EXPECT_EQ(program_invocation_short_name, program_name);
		}
	}
	program_invocation_short_name = original_short;
}

TEST(SetProgramNameDeathTest, NullArgv0IsReportedThenAborts)
{
	EXPECT_EXIT(set_program_name(nullptr), testing::KilledBySignal(SIGABRT),
	    testing::Eq(std::string(
	        "A NULL argv[0] was passed through an exec system call.\n")));
}

} // namespace
