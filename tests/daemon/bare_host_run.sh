#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Runs the built daemon on a host without the box's drivers: it must write its protocol
# line into a pipe, log start-up's first steps on stderr in order, and exit 0 at the
# missing /dev/uinput.
#   bare_host_run.sh [EMULATOR...] DAEMON
if [ -e /dev/uinput ] || [ -e /proc/orvex_ir_protocol ]; then
    echo "this host has /dev/uinput or the protocol file: not a bare host"
    exit 77
fi
err=$(mktemp) || exit 1
trap 'rm -f "$err"' EXIT
out=$("$@" 2>"$err" | cat)
"$@" >/dev/null 2>&1
status=$?
# liblog's host format: tag, priority letter, time, pids, message.
got="$out
$(sed -n 's/^dravoke \([A-Z]\) .*[0-9]  *[0-9][0-9]* \(.*\)$/\1 \2/p' "$err")
exit status $status"
want="IR_PROTOCOL_USED = 0
E can not read IR_PROTOCOL_USED
E WRONG:faied to get ir_protocol_used             default to use NEC protocol
D dravoke open uinput dev
E could not open '/dev/uinput', No such file or directory
D uinputfd=-1
exit status 0"
[ "$got" = "$want" ] && exit 0
printf 'got:\n%s\n\nwanted:\n%s\n\nstderr was:\n' "$got" "$want"
cat "$err"
exit 1
