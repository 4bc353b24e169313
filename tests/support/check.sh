# Checks for the shell tests, sourced by each of them.
#   check NAME EXPECTED ACTUAL   counts a check; a mismatch prints both sides
#   checks_done                  prints "N passed, N failed" and fails when any failed
passed=0
failed=0

check() {
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAIL %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
  fi
}

checks_done() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
