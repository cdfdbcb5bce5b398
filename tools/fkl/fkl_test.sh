#!/usr/bin/env bash
# Runs the fkl tool on small files and checks its output and exit codes.
# Usage: fkl_test.sh FKL WORKDIR
set -u
fkl=$1
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect CODE CMD...: runs CMD, keeps stdout/stderr in out/err, checks the exit code.
expect() {
  local code=$1
  shift
  "$@" >out 2>err
  local got=$?
  [ "$got" -eq "$code" ] || fail "$* exited $got, expected $code: $(cat err)"
}

# Key 1 of mouse state 1: label 部品図, count 3, 結合,#Ctrl+S,#Enter,*図面 (Shift-JIS).
record='\x95\x94\x95\x69\x90\x7d\r\n3\r\n\x8c\x8b\x8d\x87,#Ctrl+S,#Enter,*\x90\x7d\x96\xca\r\n'
printf "$record" >one.fkl

expect 0 "$fkl" check one.fkl
grep -q 'ok, 1 records' out || fail "check output: $(cat out)"

expect 0 "$fkl" dump one.fkl
cat >want <<'TXT'
mouse 1 (none) key 1
  label: 部品図
  count: 3
  mode: 結合
  step 1: marker "#" body "Ctrl+S"
  step 2: marker "#" body "Enter"
  step 3: marker "*" body "図面"
TXT
diff -u want out >&2 || fail "dump output differs"

# Round trip: 384 CR LF lines, the record first; reading the result again rewrites it
# byte for byte.
expect 0 "$fkl" roundtrip one.fkl full.fkl
[ "$(wc -l <full.fkl)" -eq 384 ] || fail "roundtrip wrote $(wc -l <full.fkl) lines"
{ printf "$record"; for _ in $(seq 381); do printf '\r\n'; done; } >want.fkl
cmp -s want.fkl full.fkl || fail "roundtrip bytes differ"
expect 0 "$fkl" roundtrip full.fkl again.fkl
cmp -s full.fkl again.fkl || fail "second roundtrip changed the file"

# Failures: one line on stderr naming the line and the reason, exit 1.
printf 'a\r\n1\r\n' >short.fkl
expect 1 "$fkl" check short.fkl
grep -q 'line 3: truncated record' err || fail "truncated: $(cat err)"
printf 'a\r\n40000\r\nxx,#A\r\n' >big.fkl
expect 1 "$fkl" check big.fkl
grep -q 'line 2: count out of 16-bit range' err || fail "count: $(cat err)"
{ printf 'a\r\n61\r\nxx'; for i in $(seq 61); do printf ',*%d' "$i"; done; printf '\r\n'; } >long.fkl
expect 1 "$fkl" check long.fkl
grep -q 'line 3: more than 60 steps' err || fail "steps: $(cat err)"
expect 1 "$fkl" check missing.fkl
grep -q 'cannot open' err || fail "missing: $(cat err)"
[ "$(wc -l <err)" -eq 1 ] || fail "more than one error line"
expect 1 "$fkl" roundtrip short.fkl never.fkl
[ ! -e never.fkl ] || fail "roundtrip wrote a file it could not read"

# Binary junk never crashes.
head -c 3000 /dev/urandom >junk.fkl 2>/dev/null || printf '\x81\xff\x00\r' >junk.fkl
"$fkl" dump junk.fkl >/dev/null 2>&1
[ $? -le 1 ] || fail "dump of junk crashed"

# Settings: values in key order; --write produces the file as at shut-down.
printf 'ComS=3 \r\nFkModel=X8000 \r\nForm2Top=-120 \r\nFileOn=2.5 \r\n' >in.sys
expect 0 "$fkl" settings in.sys --write out.sys
printf 'FkNameT=\nForm2Top=-120\nForm2Left=0\nFileOn=2\nTimer1On=0\nComS=3\nFkModel=X8000\n' >want
diff -u want out >&2 || fail "settings output differs"
[ "$(wc -l <out.sys)" -eq 12 ] || fail "settings file has $(wc -l <out.sys) lines"
expect 0 "$fkl" settings out.sys
diff -u want out >&2 || fail "written settings read back differently"

# Bad arguments: usage and a non-zero exit.
expect 2 "$fkl"
grep -q '^usage:' err || fail "no usage message"
expect 2 "$fkl" settings in.sys --write

[ "$failures" -eq 0 ] && echo "fkl tests passed"
exit $((failures > 0))
