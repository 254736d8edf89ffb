#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fetches Debian's package lists. A mirror caught mid-sync fails one index now and then: tried
# again, and if one still fails, the lists there are kept; an install that needs the missing
# one says so.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
for attempt in 1 2 3; do
    if $sudo apt-get update -qq >&2; then exit 0; fi
    if [ "$attempt" -lt 3 ]; then sleep 15; fi
done
echo "some package lists could not be fetched; going on with those there are" >&2
