// SPDX-License-Identifier: MIT
// Record the program's name from argv[0], once, first thing in main.
#ifndef PROGNAME_H
#define PROGNAME_H

// The name the program calls itself, without the marks of an uninstalled
// build tree ("/.libs/" and "lt-").  Null until set_program_name runs; then
// it points into argv[0], which lives as long as the process.
extern const char *program_name;

// Record argv0 in program_name and bring glibc's program_invocation_name
// and program_invocation_short_name into line with it.  A null argv0
// (an exec with an empty argument vector) is reported, then the process
// aborts.
void set_program_name(const char *argv0);

#endif
