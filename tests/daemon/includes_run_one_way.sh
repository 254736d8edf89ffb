#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The daemon's folders include one another one way: core/, what they all share, includes from
# none of the others; none of them includes from daemon/, the top (main, start-up, the poll
# loop); and neither the folders nor their files include one another in a loop.
#   includes_run_one_way.sh ROOT
cd "$1" || exit 1
folders="daemon core keymap inject receiver cec"
pattern=$(echo $folders | tr ' ' '|')
for dir in $folders; do
    [ -d "$dir" ] || { echo "no folder $dir/ under $1"; exit 1; }
done
# One line "file included" for each include of a file of these folders by a file of theirs.
edges=$(for dir in $folders; do ls "$dir"/*.cpp "$dir"/*.h; done |
    xargs grep -H '^#include "' | sed 's/:#include "\([^"]*\)".*/ \1/' | grep -E " ($pattern)/")
if [ -z "$edges" ]; then
    echo "no include between the daemon's folders found under $1"
    exit 1
fi
status=0
up=$(echo "$edges" | grep -E "^core/[^ ]* ($pattern)/" | grep -v " core/")
if [ -n "$up" ]; then
    printf 'core/ includes from the folders above it:\n%s\n' "$up"
    status=1
fi
top=$(echo "$edges" | grep -E "^[a-z]+/[^ ]* daemon/" | grep -v "^daemon/")
if [ -n "$top" ]; then
    printf 'a subsystem includes from daemon/:\n%s\n' "$top"
    status=1
fi
# tsort names the members of a loop and fails; an include within one folder makes no loop.
echo "$edges" | sed 's/\/[^ ]*//g' | sort -u | tsort >/dev/null || status=1
echo "$edges" | tsort >/dev/null || status=1
[ "$status" -eq 0 ] && echo "$(echo "$edges" | wc -l) includes among the daemon's folders run one way"
exit $status
