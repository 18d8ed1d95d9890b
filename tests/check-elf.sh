#!/bin/sh
# SPDX-License-Identifier: MIT
# check-elf.sh BINARY [PROMISE...]: read back from the ELF file
# what the build promised (pie, now, relro, fortify) and that it needs no
# library but the C library.  A promise the build did not make is not
# checked, so a distribution's milder flags pass for what they are.
set -u
# readelf's words are matched below: in their untranslated form.
export LC_ALL=C
bin=$1
shift
elf=$(readelf -W -h -l -d -s "$bin") || exit 1
fail=0

has() { printf '%s\n' "$elf" | grep -Eq "$1"; }
expect() { # pattern, what its absence means
	has "$1" || { echo "check-elf: $bin: $2" >&2; fail=1; }
}

for promise; do
	case $promise in
	pie)
		expect 'Type: +DYN' "not position-independent"
		expect 'FLAGS_1.*PIE' "no PIE flag" ;;
	now)
		expect 'FLAGS.*BIND_NOW|FLAGS_1.*NOW' "symbols are bound lazily, not at start-up" ;;
	relro)
		expect 'GNU_RELRO' "no read-only relocations segment" ;;
	fortify)
		expect '__printf_chk' "printf is not the fortified one" ;;
	*)
		echo "check-elf: unknown promise '$promise'" >&2
		fail=1 ;;
	esac
done
if printf '%s\n' "$elf" | grep NEEDED | grep -vq '\[libc\.so\.6\]'; then
	echo "check-elf: $bin: needs more than libc.so.6" >&2
	fail=1
fi
exit $fail
