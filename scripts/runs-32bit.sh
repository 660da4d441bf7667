#!/usr/bin/env bash
# Tells whether this machine runs 32-bit x86 programs, by running one: a 95-byte static i386
# program that exits with 42. Some kernels are built without 32-bit support (every i386
# program fails with "Exec format error"), and then 32-bit Wine cannot start either; the
# architecture names alone do not tell. Exit 0: it runs them. Exit 1: it does not, and the
# reason is printed. NIGHTBLOOM_WINE64_ONLY=1 answers "no" on any machine, so that the
# 64-bit-only path can be taken (and tested) where 32-bit programs do run.
#   scripts/runs-32bit.sh [--quiet]
set -uo pipefail
quiet=0
[ "${1:-}" = --quiet ] && quiet=1
say() { [ $quiet -eq 1 ] || echo "$@"; }

case ${NIGHTBLOOM_WINE64_ONLY:-0} in
  0|"") ;;
  1) say "no: NIGHTBLOOM_WINE64_ONLY=1 asks to run as if 32-bit programs could not run"; exit 1 ;;
  *) echo "runs-32bit.sh: NIGHTBLOOM_WINE64_ONLY must be 0 or 1, not '$NIGHTBLOOM_WINE64_ONLY'" >&2; exit 2 ;;
esac
case $(uname -m) in
  x86_64|i?86) ;;
  *) say "no: this is not an x86 machine ($(uname -m))"; exit 1 ;;
esac

probe=$(mktemp "${TMPDIR:-/tmp}/nb-i386-probe.XXXXXX") || exit 2
trap 'rm -f "$probe"' EXIT
# ELF header (52 bytes), one loadable segment (32 bytes), then: xor ebx,ebx; mov bl,42;
# mov eax,1; int 0x80 (exit(42) through the 32-bit system call gate).
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00'\
'\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'\
'\x5f\x00\x00\x00\x5f\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\x31\xdb\xb3\x2a\xb8\x01\x00\x00\x00\xcd\x80' >"$probe"
chmod +x "$probe"
output=$("$probe" 2>&1)
rc=$?
if [ $rc -eq 42 ]; then
  say "yes"
  exit 0
fi
reason=${output:-exit status $rc}
# bash reports an exec failure as "cannot execute binary file: Exec format error".
say "no: a 32-bit program does not run here (${reason##*: })"
exit 1
