#!/bin/bash
# SPDX-License-Identifier: MIT
# completion-test.sh FILE: press Tab in a real interactive bash on a
# terminal (tmux), with FILE sourced on its own and then after
# bash-completion, and check the command line that readline completed.
# locale -a is answered by a stand-in list; locale-probe by a stand-in
# that prints its arguments, so the completed line shows on the screen.
set -u
file=$(realpath "$1") || exit 1
command -v tmux >/dev/null || { echo "completion-test: needs tmux" >&2; exit 1; }
bash_completion=/usr/share/bash-completion/bash_completion
[ -r $bash_completion ] || { echo "completion-test: needs bash-completion" >&2; exit 1; }
dir=$(mktemp -d) || exit 1
tmux() { command tmux -S "$dir/socket" "$@"; }
trap 'tmux kill-server 2>/dev/null; rm -rf "$dir"' EXIT
fail=0

last_line() { tmux capture-pane -p -t "$session" | awk 'NF { line = $0 } END { print line }'; }

wait_for_prompt() {
	local i
	for ((i = 0; i < 200; i++)); do
		[ "$(last_line)" = 'ready>' ] && return 0
		sleep 0.05
	done
	echo "completion-test: bash never came back to its prompt; the screen:" >&2
	tmux capture-pane -p -t "$session" >&2
	return 1
}

start() { # session name, set-up lines for the shell
	session=$1
	shift
	printf '%s\n' "PS1='ready> '" \
	    "locale() { [ \"\$1\" = -a ] && printf '%s\n' C C.utf8 POSIX de_DE@euro en_GB.utf8 en_US.utf8 sr_RS sr_RS@latin; }" \
	    "locale-probe() { printf '<%s>' \"\$@\"; echo; }" "$@" >"$dir/rc"
	tmux new-session -d -s "$session" -x 120 -y 40 \
	    "bash --noprofile --rcfile '$dir/rc' -i" || exit 1
	wait_for_prompt || exit 1
}

expect() { # the line typed before Tab, the arguments locale-probe then gets
	tmux send-keys -t "$session" -l "$1"
	tmux send-keys -t "$session" Tab Enter
	wait_for_prompt || exit 1
	local got
	got=$(tmux capture-pane -p -t "$session" | awk 'NF { prev = line; line = $0 } END { print prev }')
	if [ "$got" != "$2" ]; then
		echo "completion-test ($mode): '$1' then Tab ran with $got, want $2" >&2
		fail=1
	fi
	tmux send-keys -t "$session" C-l
}

cases() {
	expect 'locale-probe sr_RS@' '<sr_RS@latin>'
	expect 'locale-probe de_DE@e' '<de_DE@euro>'
	expect 'locale-probe en_U' '<en_US.utf8>'
	expect 'locale-probe PO' '<POSIX>'
	expect 'locale-probe en_' '<en_>'            # two candidates: no choice made
	expect 'locale-probe xx' '<xx>'
	expect 'locale-probe C.utf8 PO' '<C.utf8><PO>' # only the first argument is a locale
}

mode="plain bash, hostcomplete on"
start plain "source '$file'"
cases
mode="with bash-completion"
start loaded "source $bash_completion" "source '$file'"
cases
exit $fail
