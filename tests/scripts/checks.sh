# The checks of the script tests: sourced, `check WHAT GOT EXPECTED` counts
# and reports each, `report` prints the count and fails when one failed.
passed=0
failed=0

check() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s\n  expected: %s\n  got:      %s\n' "$1" "$3" "$2"
  fi
}

report() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
