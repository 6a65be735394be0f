#!/bin/sh
# Starts the game. It reads ./Assets, so it is run from the directory that
# holds its assets, found from this script's own place with symbolic links
# followed: the tree works under any prefix, and from a link in a directory
# on PATH. A level named on the command line is made absolute first, so that
# "sailhop mymap.tmx" plays the map in the directory it was typed in.
set -u

self=$(readlink -f -- "$0") || exit 1
# <prefix>/games/sailhop. Cut by parameter expansion rather than dirname, whose
# output in $(...) would lose a directory name's trailing newlines.
prefix=${self%/*}
prefix=${prefix%/*}
here=$PWD
options=yes
for arg in "$@"; do
    shift
    case $options$arg in
    yes--) options=no ;;
    yes-?*) ;;
    *) case $arg in /*) ;; *) arg=$here/$arg ;; esac ;;
    esac
    set -- "$@" "$arg"
done
cd -- "$prefix/share/sailhop" || exit 1
exec "$prefix/lib/sailhop/sailhop" "$@"
