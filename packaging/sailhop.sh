#!/bin/sh
# Starts the game. It reads ./Assets and takes no arguments, so it is run from
# the directory that holds its assets, found from this script's own place with
# symbolic links followed: the tree works under any prefix, and from a link in
# a directory on PATH.
set -u

if [ $# -gt 0 ]; then
    echo "usage: sailhop (it takes no arguments; see sailhop(6))" >&2
    exit 2
fi
self=$(readlink -f -- "$0") || exit 1
# <prefix>/games/sailhop. Cut by parameter expansion rather than dirname, whose
# output in $(...) would lose a directory name's trailing newlines.
prefix=${self%/*}
prefix=${prefix%/*}
cd -- "$prefix/share/sailhop" || exit 1
exec "$prefix/lib/sailhop/sailhop"
