#!/usr/bin/env bash
# The expected console output of every design in tests/designs/, as Icarus
# Verilog prints it. For developers only: CI compares the engine with the
# committed .expected files and has neither Icarus nor Verilator.
#
#   scripts/expected-outputs.sh [--check|--write] [NAME...]
#
#   --check  (default) simulate each design and report where its .expected
#            differs; exits 1 if any does
#   --write  rewrite each .expected from the simulation
#
# NAME limits the run to those designs (with or without .sv). Designs that
# have a NAME.notmodelled file are skipped: they are checked against the
# engine's report of left-out constructs, not against printed output.
#
# A design that Icarus cannot run carries the line
#   // Expected output: Verilator
# in its header: its .expected is derived by hand from IEEE 1800 (the header
# says how), and this script checks it, or writes it, with Verilator
# (`verilator --binary --timing`) instead. Such a design must end with
# `$finish`: Verilator's binary does not stop when events run out.
#
# A design that neither can run (`iff` in an event control, a concurrent
# assertion inside a procedure) carries the line
#   // Expected output: by hand
# instead: its header says how its .expected (and its .assertions, the
# results of its concurrent assertions) follow from IEEE 1800, and this
# script names it and passes over it.
#
# What Icarus prints beyond the design's own output is dropped, so that the
# file holds exactly what the engine's console file holds after its banner:
# vvp's "FILE:LINE: $finish called at T (UNIT)" line and its "VCD info: ..."
# and "VCD warning: ..." lines are deleted by the sed expressions in
# `simulate` below, and Verilator's "- FILE:LINE: Verilog $finish" line
# likewise. Compiler warnings go to standard error and are shown,
# never stored. vvp's two-line warning for a unique or priority case that
# matches no item is written as the engine words it (`engine_wording`).
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
designs="$root/tests/designs"

mode=check
names=()
for arg in "$@"; do
  case "$arg" in
    --check) mode=check ;;
    --write) mode=write ;;
    -h|--help) sed -n '2,36p' "$0"; exit 0 ;;
    -*) echo "unknown option: $arg" >&2; exit 2 ;;
    *) names+=("${arg%.sv}") ;;
  esac
done

for tool in iverilog vvp; do
  command -v "$tool" >/dev/null || { echo "$tool not found (Debian package iverilog)" >&2; exit 2; }
done

by_verilator() { grep -qx '// Expected output: Verilator' "$designs/$1.sv"; }
by_hand() { grep -qx '// Expected output: by hand' "$designs/$1.sv"; }

if [ ${#names[@]} -eq 0 ]; then
  for file in "$designs"/*.sv; do
    names+=("$(basename "$file" .sv)")
  done
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Prints the design's output on standard output; fails if Verilator does.
simulate_verilator() {
  local name="$1"
  local run="$work/$name"
  command -v verilator >/dev/null || { echo "verilator not found (Debian package verilator)" >&2; return 1; }
  verilator --binary --timing -Wno-fatal -Wno-lint -Wno-style --Mdir "$run/obj" -o sim \
    "$designs/$name.sv" >"$run/compile.log" 2>&1 || {
    cat "$run/compile.log" >&2
    return 1
  }
  (cd "$run" && timeout 120 obj/sim) | sed -E -e '/^- [^ ]+:[0-9]+: Verilog \$finish$/d'
}

# vvp's warning for a unique or priority case that matches no item,
#   WARNING: PATH/NAME.sv:LINE: value is unhandled for priority or unique case statement
#            Time: T Scope: S
# as the engine's console words it, with the qualifier the design's line holds:
#   WARNING: NAME.sv:LINE: unique case: no item matches (time T, scope S)
engine_wording() {
  awk -v design="$1" '
    BEGIN { while ((getline text < design) > 0) source[++n] = text }
    /^WARNING: .*:[0-9]+: value is unhandled for priority or unique case statement$/ {
      place = $2
      sub(/:$/, "", place)
      sub(/.*\//, "", place)
      split(place, at, ":")
      kind = source[at[2]] ~ /priority/ ? "priority" : (source[at[2]] ~ /unique0/ ? "unique0" : "unique")
      getline when
      split(when, field, " ")
      print "WARNING: " place ": " kind " case: no item matches (time " field[2] ", scope " field[4] ")"
      next
    }
    { print }'
}

# Prints the design's output on standard output; fails if Icarus does.
simulate() {
  local name="$1"
  local run="$work/$name"
  mkdir -p "$run"
  if by_verilator "$name"; then
    simulate_verilator "$name"
    return
  fi
  iverilog -g2012 -o "$run/sim" "$designs/$name.sv" 2>"$run/compile.log" || {
    cat "$run/compile.log" >&2
    return 1
  }
  [ -s "$run/compile.log" ] && sed "s/^/  $name: /" "$run/compile.log" >&2
  # Run inside its own folder: files a design opens land there, not here.
  (cd "$run" && timeout 120 vvp -n sim) |
    sed -E -e '/^[^ ]+:[0-9]+: \$finish called at [0-9]+ \([^)]*\)$/d' -e '/^VCD (info|warning): /d' |
    engine_wording "$designs/$name.sv"
}

checked=0
differing=0
failed=0
for name in "${names[@]}"; do
  if [ ! -f "$designs/$name.sv" ]; then
    echo "no such design: $name" >&2
    failed=$((failed + 1))
    continue
  fi
  [ -f "$designs/$name.notmodelled" ] && continue
  if by_hand "$name"; then
    echo "BY HAND $name: no reference simulator runs it; its header derives its files"
    continue
  fi
  output="$work/$name.out"
  if ! simulate "$name" >"$output"; then
    echo "FAILED  $name: $(by_verilator "$name" && echo Verilator || echo Icarus) could not simulate it" >&2
    failed=$((failed + 1))
    continue
  fi
  checked=$((checked + 1))
  # The engine has no X or Z: a design must not print one.
  if grep -qE '(^|[=: [])[xXzZ]+([] ,;|]|$)' "$output"; then
    echo "WARNING $name prints what looks like an X or Z value:" >&2
    grep -nE '(^|[=: [])[xXzZ]+([] ,;|]|$)' "$output" | head -3 >&2
  fi
  expected="$designs/$name.expected"
  if [ "$mode" = write ]; then
    cp "$output" "$expected"
  elif [ ! -f "$expected" ]; then
    echo "MISSING $name.expected"
    differing=$((differing + 1))
  elif ! cmp -s "$output" "$expected"; then
    echo "DIFFERS $name (- committed, + $(by_verilator "$name" && echo Verilator || echo Icarus))"
    diff -u "$expected" "$output" | tail -n +3
    differing=$((differing + 1))
  fi
done

if [ "$mode" = write ]; then
  echo "wrote $checked expected outputs, $failed failed"
else
  echo "checked $checked designs: $differing differ, $failed failed"
fi
[ "$differing" -eq 0 ] && [ "$failed" -eq 0 ]
