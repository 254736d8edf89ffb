#!/bin/sh
# Runs the built daemon on a host without the box's drivers: it must flush its protocol
# line into a pipe, log start-up's first steps on stderr in order, and exit 0 at the
# missing /dev/uinput.
daemon=$1
if [ -e /dev/uinput ] || [ -e /proc/orvex_ir_protocol ]; then
    echo "this host has /dev/uinput or the protocol file: not a bare host"
    exit 77
fi
out=$(mktemp) && err=$(mktemp) || exit 1
trap 'rm -f "$out" "$err"' EXIT
"$daemon" 2>"$err" | cat >"$out"
"$daemon" >/dev/null 2>&1
status=$?

fail=0
if [ "$(cat "$out")" != "IR_PROTOCOL_USED = 0" ]; then
    echo "stdout was: $(cat "$out")"
    fail=1
fi
# liblog's host format: tag, priority letter, time, pids, message.
got=$(sed -n 's/^dravoke \([A-Z]\) .*[0-9]  *[0-9][0-9]* \(.*\)$/\1 \2/p' "$err")
want="E can not read IR_PROTOCOL_USED
E WRONG:faied to get ir_protocol_used             default to use NEC protocol
D dravoke open uinput dev
E could not open '/dev/uinput', No such file or directory
D uinputfd=-1"
if [ "$got" != "$want" ]; then
    echo "stderr lines were:"
    cat "$err"
    fail=1
fi
if [ "$status" -ne 0 ]; then
    echo "exit status was $status"
    fail=1
fi
exit $fail
