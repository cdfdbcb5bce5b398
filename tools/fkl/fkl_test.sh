#!/usr/bin/env bash
# Runs the fkl tool on small files and checks its output and exit codes.
# Usage: fkl_test.sh FKL WORKDIR
set -u
fkl=$1
rm -rf "$2" && mkdir -p "$2" && cd "$2" || exit 1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# expect CODE CMD...: runs CMD with stdout and stderr in out and err, checks the exit code.
expect() {
  local code=$1
  shift
  "$@" >out 2>err
  local got=$?
  [ "$got" -eq "$code" ] || fail "$* exited $got, expected $code: $(cat err)"
}

# A layout from macro lines: the count is the number of steps, the text Shift-JIS,
# the record at its key's place (mouse state 4 key 32 is the last of 128).
expect 0 "$fkl" layout one.fkl '1=結合,#Ctrl+S,*図面' '4:32=分割,#Shift'
printf '\r\n2\r\n\x8c\x8b\x8d\x87,#Ctrl+S,*\x90\x7d\x96\xca\r\n' | cmp -s - <(head -c 25 one.fkl) ||
  fail "first record bytes differ"
[ "$(wc -l <one.fkl)" -eq 384 ] || fail "layout wrote $(wc -l <one.fkl) lines"
expect 0 "$fkl" dump one.fkl
grep -q '^mouse 4 (right) key 32$' out || fail "dump: $(cat out)"
expect 0 "$fkl" roundtrip one.fkl again.fkl
cmp -s one.fkl again.fkl || fail "roundtrip changed the file"
expect 0 "$fkl" print one.fkl
[ "$(grep -c $'^\f$' out)" -eq 4 ] && [ "$(wc -l <out)" -eq $((4 * 75)) ] || fail "print: 4 pages"
expect 1 "$fkl" layout bad.fkl '5:1=結合,#A'
printf 'a\r\n1\r\n' >short.fkl
expect 1 "$fkl" check short.fkl
grep -q 'line 3: truncated record' err || fail "truncated: $(cat err)"

# Settings: values in key order; --write produces the file as at shut-down.
printf 'ComS=3 \r\nFkModel=X8000 \r\nForm2Top=-120 \r\nFileOn=2.5 \r\n' >in.sys
expect 0 "$fkl" settings in.sys --write out.sys
printf 'FkNameT=\nForm2Top=-120\nForm2Left=0\nFileOn=2\nTimer1On=0\nComS=3\nFkModel=X8000\n' >want
diff -u want out >&2 || fail "settings output differs"
expect 0 "$fkl" settings out.sys
diff -u want out >&2 || fail "written settings read back differently"
expect 2 "$fkl" settings in.sys --write

[ "$failures" -eq 0 ] && echo "fkl tests passed"
exit $((failures > 0))
