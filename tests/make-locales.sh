#!/bin/sh
# SPDX-License-Identifier: MIT
# make-locales.sh DIR: compile the locales the tests need into DIR, once.
# Each folder carries glibc's normalised codeset name (en_US.utf8), which
# both spellings of a name (en_US.UTF-8, en_US.utf8) reach through LOCPATH.
# A locale this system cannot make is left out; its tests skip.
set -u
dir=$1
mkdir -p "$dir" || exit 1

# made DIR FOLDER CHARMAP: glibc, given the locale FOLDER under DIR, reports
# CHARMAP for it.  What localedef wrote proves nothing: without a charmap's
# file, -c still writes a locale, an ASCII one.
made() {
	[ "$(env -i PATH="$PATH" LOCPATH="$1" LC_ALL="$2" locale charmap 2>/dev/null)" = "$3" ]
}

make_locale() { # folder source charmap
	made "$dir" "$1" "$3" && return 0
	tmp=$(mktemp -d "$dir/.$1.XXXXXX") || return 1
	# -c: some charmaps (BIG5) draw warnings and exit status 1 while
	# still writing a usable locale, so judge by what glibc reads back.
	# The builder's locale, I18NPATH and LOCPATH are not localedef's.
	env -i PATH="$PATH" localedef -c -i "$2" -f "$3" "$tmp/$1" >/dev/null 2>&1
	if made "$tmp" "$1" "$3"; then
		rm -rf "${dir:?}/$1" && mv "$tmp/$1" "$dir/$1"
	else
		rm -rf "${dir:?}/$1"
		echo "make-locales: cannot make $1 from $2 and $3; its tests will skip" >&2
	fi
	rm -rf "$tmp"
}

make_locale en_US.utf8 en_US UTF-8 &
make_locale ja_JP.eucjp ja_JP EUC-JP &
make_locale zh_CN.gb18030 zh_CN GB18030 &
make_locale zh_TW.big5 zh_TW BIG5 &
make_locale de_DE.iso88591 de_DE ISO-8859-1 &
wait
