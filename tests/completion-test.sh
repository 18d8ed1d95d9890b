#!/bin/bash
# SPDX-License-Identifier: MIT
# completion-test.sh SHELL [FILE]: press Tab in a real interactive SHELL
# (bash, zsh or fish) on a terminal (tmux) and check the command line that
# the shell completed.  With FILE, the shell is handed that completion file;
# without, it must find the installed one where it looks for completions.
# bash with FILE is tried twice: on its own and after bash-completion.
# locale -a is answered by a stand-in list; locale-probe by a stand-in that
# prints its arguments, so the completed line shows on the screen.
set -u
shell=$1
file=
if [ $# -gt 1 ]; then
	file=$(realpath "$2") || exit 1
fi
command -v tmux >/dev/null || { echo "completion-test: needs tmux" >&2; exit 1; }
command -v "$shell" >/dev/null || { echo "completion-test: needs $shell" >&2; exit 1; }
bash_completion=/usr/share/bash-completion/bash_completion
dir=$(mktemp -d) || exit 1
# The builder's own settings (its locale, ~/.inputrc, ~/.zshrc, fish's
# history) are not the test's: the shells start from this environment.
# No path is ever pasted into a line that a shell parses: the shells are
# started without one, given their files by argument or by these
# variables, and their set-up lines name the completion file by variable.
tmux() {
	command env -i PATH="$PATH" HOME="$dir" XDG_RUNTIME_DIR="$dir" \
	    ZDOTDIR="$dir" XDG_CONFIG_HOME="$dir/config" TERM=xterm LC_ALL=C.UTF-8 \
	    COMPLETION_FILE="$file" \
	    tmux -S "$dir/socket" -f "$dir/tmux.conf" "$@"
}
trap 'tmux kill-server 2>/dev/null; rm -rf "$dir"' EXIT
# A shell that exits leaves its pane, and what it printed, to be read.
echo 'set-option -g remain-on-exit on' >"$dir/tmux.conf"
# Files a shell would offer if it fell back to file names.
mkdir "$dir/cwd" && touch "$dir/cwd/xx-file" "$dir/cwd/PO-file"
# A slow build machine may take minutes to start a shell; a usual one
# answers at once, and the wait ends then.
timeout=${COMPLETION_TEST_TIMEOUT:-300}
fail=0

screen() { tmux capture-pane -p -t "$session"; }
# The screen's last two lines that are not empty, and how many there are.
tail_of_screen() { screen | awk 'NF { prev = line; line = $0; n++ } END { print n ":" prev ":" line }'; }

give_up() { # why
	echo "completion-test ($mode): $1; the screen:" >&2
	# Its lines up to the last that is not empty.
	screen | awk 'NF { for (; blank; blank--) print ""; print; next } { blank++ }' >&2
	exit 1
}

wait_for() { # what the screen shows when the shell is ready (a pattern)
	local end=$((SECONDS + timeout))
	while [ $SECONDS -lt $end ]; do
		# shellcheck disable=SC2053 # $1 is a pattern, matched as one
		[[ $(tail_of_screen) == $1 ]] && return 0
		[ "$(tmux display-message -p -t "$session" '#{pane_dead}')" != 1 ] ||
			give_up "the shell exited with status $(tmux display-message -p -t "$session" '#{pane_dead_status}')"
		sleep 0.05
	done
	give_up "the shell did not answer in $timeout s"
}
# A prompt alone, on a new or a cleared screen.
wait_for_prompt() { wait_for '1::ready>'; }
# The stand-in's answer, then a new prompt.
wait_for_answer() { wait_for '*:<*>:ready>'; }

locales='C C.utf8 POSIX de_DE@euro en_GB.utf8 en_US.utf8 sr_RS sr_RS@latin'

start() { # session name; the shell's set-up lines are in $dir/rc.NAME
	session=$1
	local rc=$dir/rc.$session
	local command
	case $shell in
	bash) command=(bash --noprofile --rcfile "$rc" -i) ;;
	zsh) cp "$rc" "$dir/.zshrc" && command=(zsh -d -i) ;;
	fish) command=(fish -i -C "source ~/rc.$session") ;;
	esac
	# Given as words, the command runs without a shell to parse it.
	tmux new-session -d -s "$session" -c "$dir/cwd" -x 120 -y 40 -- "${command[@]}" || exit 1
	# A first prompt below anything else follows an error.
	wait_for '*:ready>'
	[[ $(tail_of_screen) == '1::ready>' ]] || give_up "the shell printed more than its prompt as it started"
}

expect() { # the line typed before Tab, the arguments locale-probe then gets
	tmux send-keys -t "$session" -l "$1"
	tmux send-keys -t "$session" Tab Enter
	wait_for_answer
	local got
	got=$(tail_of_screen)
	got=${got#*:}
	got=${got%:*}
	if [ "$got" != "$2" ]; then
		echo "completion-test ($mode): '$1' then Tab ran with $got, want $2" >&2
		fail=1
	fi
	tmux send-keys -t "$session" C-l
	wait_for_prompt
}

cases() {
	expect 'locale-probe sr_RS@' '<sr_RS@latin>'
	expect 'locale-probe de_DE@e' '<de_DE@euro>'
	expect 'locale-probe en_U' '<en_US.utf8>'
	expect 'locale-probe PO' '<POSIX>'
	expect 'locale-probe en_' '<en_>'            # two candidates: no choice made
	expect 'locale-probe xx' '<xx>'              # no locale, and no file either
	expect 'locale-probe C.utf8 PO' '<C.utf8><PO>' # only the first argument is a locale
}

bash_rc() {
	printf '%s\n' "PS1='ready> '" \
	    "locale() { [ \"\$1\" = -a ] && printf '%s\n' $locales; }" \
	    "locale-probe() { printf '<%s>' \"\$@\"; echo; }" "$@"
}

case $shell in
bash)
	[ -r $bash_completion ] || { echo "completion-test: needs bash-completion" >&2; exit 1; }
	if [ -n "$file" ]; then
		mode="plain bash, hostcomplete on"
		bash_rc 'source "$COMPLETION_FILE"' >"$dir/rc.plain"
		start plain
		cases
		mode="bash with bash-completion"
		bash_rc "source $bash_completion" 'source "$COMPLETION_FILE"' >"$dir/rc.loaded"
		start loaded
	else
		# bash-completion loads the file by the command's name.
		mode="bash with bash-completion, installed file"
		bash_rc "source $bash_completion" >"$dir/rc.installed"
		start installed
	fi
	cases ;;
zsh)
	mode="zsh with compinit${file:+, $file}"
	{
		echo "PS1='ready> ' RPS1='' PROMPT_EOL_MARK=''"
		echo "locale() { [[ \$1 == -a ]] && print -l $locales }"
		echo "locale-probe() { printf '<%s>' \"\$@\"; echo }"
		# zsh finds a completion by its file name in $fpath.
		[ -z "$file" ] || echo 'fpath=("${COMPLETION_FILE:h}" $fpath)'
		echo "autoload -Uz compinit && compinit -u -D"
	} >"$dir/rc.zsh"
	start zsh
	cases ;;
fish)
	mode="fish${file:+, $file}"
	{
		echo "function fish_prompt; printf 'ready> '; end"
		echo "function fish_right_prompt; end"
		echo "set -g fish_greeting ''"
		echo "set -g fish_autosuggestion_enabled 0"
		echo "function locale; test \"\$argv[1]\" = -a; and printf '%s\n' $locales; end"
		echo "function locale-probe; printf '<%s>' \$argv; echo; end"
		# fish finds a completion by its file name in fish_complete_path.
		[ -z "$file" ] || echo 'set -p fish_complete_path (path dirname $COMPLETION_FILE)'
	} >"$dir/rc.fish"
	start fish
	cases ;;
*)
	echo "completion-test: no test for the shell '$shell'" >&2
	exit 1 ;;
esac
exit $fail
