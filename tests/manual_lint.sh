#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Checks the manual page for roff warnings: groff always (it is required),
# mandoc's linter as well where it is installed.
set -u
page="$1"
status=0
if ! command -v groff >/dev/null 2>&1; then
  echo "groff is not installed" >&2
  exit 1
fi
out=$(groff -ww -z -man "$page" 2>&1) || status=1
if [ -n "$out" ]; then echo "$out"; status=1; fi
if command -v mandoc >/dev/null 2>&1; then
  mandoc -T lint -W warning "$page" || status=1
fi
[ $status -eq 0 ] && echo "manual page $page: no warnings"
exit $status
