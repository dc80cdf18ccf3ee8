# Sourced: one line per check and a closing "N passed, M failed" line, which
# scripts/test counts (as scripts/lib/checks.py does for Python).
#
#   ok TEXT / bad TEXT          counts a check that passed / failed
#   expect TEXT COMMAND...      passes when COMMAND succeeds
#   finish                      the closing line; exits 0 only if none failed
passed=0
failed=0
ok() { passed=$((passed + 1)); echo "  ok: $*"; }
bad() { failed=$((failed + 1)); echo "  FAILED: $*"; }
expect() { # expect <description> <command...>
    local what=$1
    shift
    if "$@"; then ok "$what"; else bad "$what"; fi
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}
