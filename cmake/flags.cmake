# SPDX-License-Identifier: MIT
# Warnings, hardening and start-up flags for the program's own targets, each
# added only where this compiler and target accept it: one set of presets
# then builds warning-free with g++ and clang, on x86-64 and arm64 alike.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)

# The flags every target of ours compiles and links with.
add_library(locale_probe_flags INTERFACE)

# checked_compile_options(TARGET SCOPE FLAG...): each FLAG the compiler
# takes without a word.  -Werror, because clang only warns of an unknown
# warning option or of a flag meant for another target.
function(checked_compile_options target scope)
	set(CMAKE_REQUIRED_FLAGS -Werror)
	foreach(flag IN LISTS ARGN)
		string(MAKE_C_IDENTIFIER "cxx_accepts${flag}" accepted)
		check_cxx_compiler_flag("${flag}" ${accepted})
		if(${accepted})
			target_compile_options(${target} ${scope} "${flag}")
		endif()
	endforeach()
endfunction()

# checked_link_options(TARGET SCOPE FLAG...): each FLAG the linker takes.
# --fatal-warnings, because ld only warns that it ignores a -z it lacks.
function(checked_link_options target scope)
	foreach(flag IN LISTS ARGN)
		string(MAKE_C_IDENTIFIER "ld_accepts${flag}" accepted)
		check_linker_flag(CXX "LINKER:--fatal-warnings;${flag}" ${accepted})
		if(${accepted})
			target_link_options(${target} ${scope} "${flag}")
		endif()
	endforeach()
endfunction()

checked_compile_options(locale_probe_flags INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wcast-qual -Wformat=2 -Wundef -Wold-style-cast -Wnull-dereference
    -Wuseless-cast -Wduplicated-cond -Wlogical-op)

# Calls into libc go through the GOT, filled once at start-up, rather than
# through PLT stubs; fewer instructions for a process that makes few calls.
checked_compile_options(locale_probe_flags INTERFACE -fno-plt)

if(LOCALE_PROBE_HARDENING)
	checked_compile_options(locale_probe_flags INTERFACE
	    -fstack-protector-strong -fstack-clash-protection
	    -fcf-protection -mbranch-protection=standard)
	# glibc's fortified functions need the optimiser; -U first, since a
	# distribution's compiler may define a level of its own.
	target_compile_options(locale_probe_flags INTERFACE
	    "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=3>")
	checked_link_options(locale_probe_flags INTERFACE
	    LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
endif()
