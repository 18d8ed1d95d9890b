// SPDX-License-Identifier: MIT
// The command, run as a real process with an exact argument vector and an
// environment holding only what each case names.  With LOCALE_PROBE_LAUNCHER
// set (a command and its options, split on spaces, such as valgrind or
// qemu-aarch64), every run goes through that launcher; LOCALE_PROBE_COMMAND
// names another build of the command to run instead of this tree's (one
// cross-built for another architecture).  With LOCALE_PROBE_REQUIRE_LOCALES
// set, a case whose locale could not be made fails instead of skipping.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Where the command's standard output goes: a pipe that is read; /dev/full;
// no descriptor at all; a pipe whose reader has gone, with SIGPIPE at its
// default or ignored.
enum class Output { pipe, full, closed, gone, gone_sigpipe_ignored };

struct Result {
	int status; // exit status, or 128 + signal
	std::string out;
	std::string err;
};

std::string drain(int fd)
{
	std::string text;
	char buf[4096];
	ssize_t n;
	while ((n = read(fd, buf, sizeof buf)) > 0)
		text.append(buf, static_cast<size_t>(n));
	close(fd);
	return text;
}

const std::vector<std::string> &launcher()
{
	static const std::vector<std::string> split = [] {
		std::vector<std::string> w;
		const char *words = std::getenv("LOCALE_PROBE_LAUNCHER");
		std::istringstream in(words != nullptr ? words : "");
		for (std::string word; in >> word;)
			w.push_back(word);
		return w;
	}();
	return split;
}

const char *command()
{
	const char *path = std::getenv("LOCALE_PROBE_COMMAND");
	return path != nullptr && *path != '\0' ? path : LOCALE_PROBE;
}

// Run the command with argv exactly as given (argv[0] included) and env as
// its whole environment.  A launcher takes argv[0]'s place with its own
// words and the command's path.
Result run(std::vector<const char *> argv, std::vector<std::string> env,
    Output output = Output::pipe)
{
	const char *path = command();
	if (!launcher().empty()) {
		std::vector<const char *> words;
		for (const std::string &w : launcher())
			words.push_back(w.c_str());
		words.push_back(path);
		if (!argv.empty())
			words.insert(words.end(), argv.begin() + 1, argv.end());
		path = words[0];
		argv = words;
	}
	env.push_back("LOCPATH=" LOCALE_DIR);
	// A sanitizer build takes its runtime's options through the cleared
	// environment too.
	for (const char *name :
	    {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
		if (const char *value = std::getenv(name))
			env.push_back(std::string(name) + '=' + value);
	std::vector<char *> envp;
	for (std::string &e : env)
		envp.push_back(e.data());
	envp.push_back(nullptr);
	argv.push_back(nullptr);

	int out[2];
	int err[2];
	if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
		ADD_FAILURE() << "pipe2 failed";
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	switch (output) {
	case Output::gone:
	case Output::gone_sigpipe_ignored:
		close(out[0]);
		out[0] = -1;
		[[fallthrough]];
	case Output::pipe:
		posix_spawn_file_actions_adddup2(&actions, out[1], 1);
		break;
	case Output::full:
		posix_spawn_file_actions_addopen(
		    &actions, 1, "/dev/full", O_WRONLY, 0);
		break;
	case Output::closed:
		posix_spawn_file_actions_addclose(&actions, 1);
		break;
	}
	posix_spawn_file_actions_adddup2(&actions, err[1], 2);
	// Whatever the test runner left open is not the command's to see.
	posix_spawn_file_actions_addclosefrom_np(&actions, 3);

	// SIGPIPE as a shell hands it to a command, whatever this runner
	// inherited: at its default, or ignored where the case asks.  An
	// ignored signal stays ignored across exec, so the runner, which
	// writes to no pipe, ignores it and resets it for the command.
	std::signal(SIGPIPE, SIG_IGN);
	posix_spawnattr_t attr;
	posix_spawnattr_init(&attr);
	if (output != Output::gone_sigpipe_ignored) {
		sigset_t pipe_signal;
		sigemptyset(&pipe_signal);
		sigaddset(&pipe_signal, SIGPIPE);
		posix_spawnattr_setsigdefault(&attr, &pipe_signal);
		posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
	}

	pid_t pid = -1;
	int spawned = posix_spawnp(&pid, path, &actions, &attr,
	    const_cast<char *const *>(argv.data()), envp.data());
	posix_spawn_file_actions_destroy(&actions);
	posix_spawnattr_destroy(&attr);
	close(out[1]);
	close(err[1]);
	Result r{
	    -1, out[0] != -1 ? drain(out[0]) : std::string(), drain(err[0])};
	int wstatus = 0;
	if (spawned != 0 || waitpid(pid, &wstatus, 0) != pid)
		ADD_FAILURE() << "cannot run " << path;
	else if (WIFEXITED(wstatus))
		r.status = WEXITSTATUS(wstatus);
	else if (WIFSIGNALED(wstatus))
		r.status = 128 + WTERMSIG(wstatus);
	return r;
}

bool have_locale(const char *folder)
{
	if (folder == nullptr)
		return true;
	std::string ctype = std::string(LOCALE_DIR "/") + folder + "/LC_CTYPE";
	struct stat st;
	return stat(ctype.c_str(), &st) == 0;
}

template <typename T> std::string title(const testing::TestParamInfo<T> &row)
{
	return row.param.title;
}

struct Case {
	const char *title;
	std::vector<const char *> argv;
	std::vector<std::string> env;
	const char *needs; // generated locale folder the case relies on
	int status;
	const char *out;
	Output output = Output::pipe;
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.title; }

class Command : public testing::TestWithParam<Case> {};

TEST_P(Command, AnswersWithTheLineAndTheStatus)
{
	const Case &c = GetParam();
	if (!have_locale(c.needs)) {
		// In CI a skipped case is a check that never happened.
		if (std::getenv("LOCALE_PROBE_REQUIRE_LOCALES") != nullptr)
			FAIL() << "no " << c.needs << " under " LOCALE_DIR;
		GTEST_SKIP() << "no " << c.needs << " under " LOCALE_DIR
		             << ": localedef lacked its sources";
	}
	Result r = run(c.argv, c.env, c.output);
	EXPECT_EQ(r.out, c.out);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, c.status);
}

const char *const p = "locale-probe";
const char *const en = "en_US.utf8";
const char *const ja = "ja_JP.eucjp";
const char *const zh = "zh_CN.gb18030";
const char *const tw = "zh_TW.big5";
const char *const de = "de_DE.iso88591";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Names, Command, testing::Values(
    Case{"NoArgument", {p}, {}, nullptr, 1, ""},
    Case{"C", {p, "C"}, {}, nullptr, 0, "1\n"},
    Case{"POSIX", {p, "POSIX"}, {}, nullptr, 0, "1\n"},
    Case{"CUtf8", {p, "C.UTF-8"}, {}, nullptr, 0, "6\n"},
    Case{"CUtf8Normalised", {p, "C.utf8"}, {}, nullptr, 0, "6\n"},
    Case{"OnlyFirstArgumentCounts", {p, "C.UTF-8", "C"}, {}, nullptr, 0, "6\n"},
    Case{"MissingFirstWinsOverGoodSecond", {p, "xx_YY.UTF-8", "C"}, {},
        nullptr, 1, ""},
    Case{"Missing", {p, "xx_YY.UTF-8"}, {}, nullptr, 1, ""},
    Case{"Utf8", {p, "en_US.UTF-8"}, {}, en, 0, "6\n"},
    Case{"Utf8Normalised", {p, "en_US.utf8"}, {}, en, 0, "6\n"},
    Case{"EucJp", {p, "ja_JP.EUC-JP"}, {}, ja, 0, "3\n"},
    Case{"EucJpNormalised", {p, "ja_JP.eucjp"}, {}, ja, 0, "3\n"},
    Case{"Gb18030", {p, "zh_CN.GB18030"}, {}, zh, 0, "4\n"},
    Case{"Big5", {p, "zh_TW.BIG5"}, {}, tw, 0, "2\n"},
    Case{"Latin1", {p, "de_DE.ISO-8859-1"}, {}, de, 0, "1\n"},
    Case{"ShortOption", {p, "-h"}, {}, nullptr, 1, ""},
    Case{"LongOption", {p, "--help"}, {}, nullptr, 1, ""},
    Case{"Version", {p, "--version"}, {}, nullptr, 1, ""},
    Case{"DoubleDash", {p, "--", "C"}, {}, nullptr, 1, ""},
    Case{"EmptyIsTheCDefault", {p, ""}, {}, nullptr, 0, "1\n"},
    Case{"EmptyTakesLcAll", {p, ""}, {"LC_ALL=ja_JP.EUC-JP"}, ja, 0, "3\n"},
    Case{"EmptyTakesLcCtype", {p, ""}, {"LC_CTYPE=zh_CN.GB18030"}, zh, 0,
        "4\n"},
    Case{"EmptyTakesLang", {p, ""}, {"LANG=en_US.UTF-8"}, en, 0, "6\n"},
    Case{"EmptyLcAllBeatsLang", {p, ""}, {"LC_ALL=C", "LANG=en_US.UTF-8"}, en,
        0, "1\n"},
    Case{"EmptyLcCtypeBeatsLang", {p, ""},
        {"LC_CTYPE=zh_TW.BIG5", "LANG=en_US.UTF-8"}, tw, 0, "2\n"},
    Case{"EmptyRefusedWhenLcAllMissing", {p, ""}, {"LC_ALL=xx_YY.UTF-8"},
        nullptr, 1, ""},
    Case{"EmptyRefusedWhenLangMissing", {p, ""}, {"LANG=xx_YY.UTF-8"},
        nullptr, 1, ""},
    Case{"NamedBeatsEnvironment", {p, "C"}, {"LC_ALL=en_US.UTF-8"}, en, 0,
        "1\n"},
    Case{"BuildTreeName", {"/src/build/.libs/lt-locale-probe", "C.UTF-8"},
        {}, nullptr, 0, "6\n"}),
    title<Case>);
// clang-format on

// What a careless or hostile caller may hand over.  Nothing is validated
// here: the C library alone decides, and the command only reports it.
const std::string longest_name(131071, 'a'); // MAX_ARG_STRLEN less the NUL

// clang-format off
INSTANTIATE_TEST_SUITE_P(Hostile, Command, testing::Values(
    Case{"LongestArgument", {p, longest_name.c_str()}, {}, nullptr, 1, ""},
    Case{"ParentOfLocale", {p, "../C.utf8"}, {}, nullptr, 1, ""},
    Case{"LocaleThenParent", {p, "C.utf8/.."}, {}, nullptr, 1, ""},
    Case{"Slash", {p, "a/b"}, {}, nullptr, 1, ""},
    Case{"AbsolutePath", {p, "/usr/lib/locale/C.utf8"}, {}, nullptr, 1, ""},
    Case{"PathInEnvironment", {p, ""}, {"LC_ALL=/usr/lib/locale/C.utf8"},
        nullptr, 1, ""},
    Case{"PathThroughLocpath", {p, "../locales/en_US.utf8"}, {},
        en, 1, ""},
    Case{"FormatString", {p, "%n%s%s%s"}, {}, nullptr, 1, ""},
    Case{"NotUtf8", {p, "\xff\xfe.UTF-8"}, {}, nullptr, 1, ""},
    Case{"CNewline", {p, "C\n"}, {}, nullptr, 1, ""},
    Case{"CompositeName", {p, "LC_CTYPE=C.UTF-8;LC_NUMERIC=C"}, {}, nullptr,
        1, ""},
    // glibc folds a codeset to lower-case alphanumerics before it looks.
    Case{"CodesetFolded", {p, "C.utf-8"}, {}, nullptr, 0, "6\n"},
    Case{"CodesetNewline", {p, "C.UTF-8\n"}, {}, nullptr, 0, "6\n"}),
    title<Case>);
// clang-format on

// Linux 5.18 and later give an exec with no arguments an empty argv[0];
// older kernels pass none, and progname reports it and aborts.
TEST(Command, EmptyArgumentVector)
{
	if (!launcher().empty())
		GTEST_SKIP() << "a launcher cannot pass on an empty argv";
	Result r = run({}, {});
	EXPECT_EQ(r.out, "");
	if (r.status == 128 + SIGABRT) {
		EXPECT_EQ(r.err,
		    "A NULL argv[0] was passed through an exec system call.\n");
	} else {
		EXPECT_EQ(r.err, "");
		EXPECT_EQ(r.status, 1);
	}
}

// Where the line cannot be written, the run is a failure, still silent; a
// reader that has gone ends it through SIGPIPE, unless that is ignored.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Streams, Command, testing::Values(
    Case{"StdoutFull", {p, "C.UTF-8"}, {}, nullptr, 1, "", Output::full},
    Case{"StdoutClosed", {p, "C.UTF-8"}, {}, nullptr, 1, "", Output::closed},
    Case{"ReaderGone", {p, "C.UTF-8"}, {}, nullptr, 128 + SIGPIPE, "",
        Output::gone},
    Case{"ReaderGoneSigpipeIgnored", {p, "C.UTF-8"}, {}, nullptr, 1, "",
        Output::gone_sigpipe_ignored},
    Case{"StdoutFullAndRefused", {p, "xx_YY.UTF-8"}, {}, nullptr, 1, "",
        Output::full}),
    title<Case>);
// clang-format on

} // namespace
