#!/bin/sh
# Fails when groff has anything to say about the manual page.
set -u
warnings=$(groff -man -ww -z "$1" 2>&1)
status=$?
if [ "$status" -ne 0 ] || [ -n "$warnings" ]; then
  printf '%s\n' "$warnings"
  exit 1
fi
echo "manual page renders without warnings"
