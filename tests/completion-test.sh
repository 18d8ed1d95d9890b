#!/bin/bash
# completion-test.sh FILE: source the bash completion and check what it
# offers, with locale -a answered by a stand-in list.
set -u
. "$1" || exit 1
locale() { [ "$1" = -a ] && printf '%s\n' C C.utf8 POSIX en_GB.utf8 en_US.utf8; }
fail=0

expect() { # expected completions, then the words typed so far
	local want=$1
	shift
	COMP_WORDS=("$@")
	COMP_CWORD=$(($# - 1))
	_locale_probe
	local got="${COMPREPLY[*]}"
	if [ "$got" != "$want" ]; then
		echo "completion-test: for '$*' got '$got', want '$want'" >&2
		fail=1
	fi
}

expect "en_GB.utf8 en_US.utf8" locale-probe en_
expect "C C.utf8" locale-probe C
expect "C C.utf8 POSIX en_GB.utf8 en_US.utf8" locale-probe ""
expect "" locale-probe xx
expect "" locale-probe C.utf8 ""   # only the first argument is a locale
[ "$(complete -p locale-probe)" = "complete -F _locale_probe locale-probe" ] || {
	echo "completion-test: not registered for locale-probe" >&2
	fail=1
}
exit $fail
