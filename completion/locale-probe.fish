# SPDX-License-Identifier: MIT
# fish completion for locale-probe: its one argument is a locale name,
# offered from the locales this system has (locale -a); never a file.
# Words before the cursor are counted as they stand: with no options, one
# that begins with a hyphen is a locale name too.
complete -c locale-probe -f
complete -c locale-probe -n 'test (count (commandline -opc)) -eq 1' \
    -a '(locale -a 2>/dev/null)'
