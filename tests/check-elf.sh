#!/bin/sh
# check-elf.sh BINARY: read back from the ELF file the hardening that a
# release build promises, and that it needs no library but the C library.
set -u
bin=$1
elf=$(readelf -W -h -l -d -s "$bin") || exit 1
fail=0

has() { printf '%s\n' "$elf" | grep -Eq "$1"; }
expect() { # pattern, what its absence means
	has "$1" || { echo "check-elf: $bin: $2" >&2; fail=1; }
}

expect 'Type: +DYN' "not position-independent"
expect 'FLAGS_1.*PIE' "no PIE flag"
expect 'FLAGS.*BIND_NOW|FLAGS_1.*NOW' "symbols are bound lazily, not at start-up"
expect 'GNU_RELRO' "no read-only relocations segment"
expect '__printf_chk' "printf is not the fortified one"
if printf '%s\n' "$elf" | grep NEEDED | grep -vq '\[libc\.so\.6\]'; then
	echo "check-elf: $bin: needs more than libc.so.6" >&2
	fail=1
fi
exit $fail
