#!/bin/sh
# valgrind-or-skip.sh VALGRIND PROGRAM ARGS...: runs PROGRAM under valgrind's
# leak checker. Some processors have instructions this valgrind does not
# know, which libraries the program loads use as they load (seen: rdtscp in
# libhwy, below FFmpeg, on AMD hosts); the program then dies of SIGILL before
# main. That is reported as a skip (77), not as a leak or a pass.
valgrind=$1
shift
"$valgrind" --quiet "$1" >/dev/null 2>&1
if [ $? -eq 132 ]; then
    echo "valgrind cannot run $1's libraries on this processor (SIGILL while loading): skipped"
    exit 77
fi
exec "$valgrind" --quiet --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect --error-exitcode=99 "$@"
