#!/bin/sh
# valgrind-or-skip.sh VALGRIND PROGRAM ARGS...: runs PROGRAM under valgrind's
# leak checker. Some processors have instructions this valgrind does not
# know, which libraries the program loads use as they load (seen: rdtscp in
# libhwy, below FFmpeg, on AMD hosts); the program then dies of SIGILL. That
# is reported, with valgrind's account of where, as a skip (77), not as a
# leak or a pass.
valgrind=$1
shift
log=$(mktemp)
"$valgrind" --quiet --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect --error-exitcode=99 "$@" 2>"$log"
status=$?
cat "$log" >&2
if [ "$status" -eq 132 ] && grep -q "Illegal opcode" "$log"; then
    rm -f "$log"
    echo "valgrind cannot run an instruction of $1's libraries on this processor (SIGILL): skipped"
    exit 77
fi
rm -f "$log"
exit "$status"
