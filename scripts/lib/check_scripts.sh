#!/usr/bin/env bash
# The scripts' own faults that would otherwise pass unseen: each case drives
# a piece of a script with a fault put in its way. Needs no build and no Wine.
# Prints one line per check and a closing "N passed, M failed" line.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/expect.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# bench/cost: a run that fails in round 1 must not shift the later rounds'
# pairing with the reference.
cost_pairs_by_round() {
    python3 - "$root/bench/cost" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import cost

class Program:
    def __init__(self, key):
        self.key = self.label = key

def run(program, number):
    if program.key == "tocklet" and number == 1:
        return "no window"
    total = {"reference": 1.0, "tocklet": 2.0}[program.key] * number
    return {"idle": {}, "idle_x": 0.0, "counting": {"p": total}, "counting_x": 0.0,
            "rss": None, "anon": None, "load": [0.0]}

results = cost.run_rounds([Program("tocklet"), Program("reference")], 3, run, lambda text: None)
ratios = cost.reference_ratios(results, "tocklet")
print(f"    rounds {sorted(results['tocklet'])}, ratios {ratios}")
sys.exit(0 if ratios == [2.0, 2.0] else 1)
PY
}
expect "bench/cost: after a failed round, each round is paired with its own" cost_pairs_by_round

# scripts/lib/host.sh: a folder that lets no program run (a /tmp mounted
# noexec gives 126, as a kernel without IA-32 does) must not read as "this
# machine cannot run 32-bit programs".
host_answer() { # host_answer DIRS: "ANSWER|WHY" of a fresh probe from DIRS
    env -u TOCKLET_HOST_32BIT -u TOCKLET_HOST_32BIT_WHY -u TOCKLET_NO_32BIT \
        TOCKLET_PROBE_DIRS="$1" bash -c 'source "$1"; tocklet_host_runs_32bit
            echo "$TOCKLET_HOST_32BIT|$TOCKLET_HOST_32BIT_WHY"' _ "$root/scripts/lib/host.sh"
}
export -f host_answer
export root
noexec=$work/noexec
mkdir -p "$noexec" "$work/plain"
# A noexec mount of our own, in a private mount namespace.
in_noexec() { # in_noexec DIRS
    unshare -rm bash -c 'mount -t tmpfs -o noexec tocklet "$1" && host_answer "$2"' _ "$noexec" "$1"
}
if ! unshare -rm true 2>/dev/null; then
    echo "  skipped: host.sh in a noexec folder (unshare -rm fails here: no private mount)"
else
    plain=$(host_answer "$work/plain")
    echo "    from a plain folder: $plain"
    expect "host.sh: from a plain folder the answer is yes or no" \
        test "${plain%%|*}" = yes -o "${plain%%|*}" = no
    answer=$(in_noexec "$noexec:$work/plain")
    expect "host.sh: past a noexec folder, the next folder answers ($answer)" test "$answer" = "$plain"
    answer=$(in_noexec "$noexec")
    expect "host.sh: only a noexec folder: not known, and says where ($answer)" \
        test "$answer" = "unknown|not known: no program runs from $noexec (mounted noexec?)"
fi

# scripts/lib/wine-env.sh: the prefix is marked ready only when wineboot and
# the Wine server both succeeded; else every later run would use it broken.
prefix_case() { # prefix_case WINEBOOT_RC WINESERVER_RC: "RC marked|unmarked"
    local fake=$work/fakebin
    mkdir -p "$fake"
    printf '#!/bin/sh\nmkdir -p "$WINEPREFIX"\nexit %s\n' "$1" >"$fake/wineboot"
    printf '#!/bin/sh\nexit %s\n' "$2" >"$fake/wineserver"
    printf '#!/bin/sh\nexit 0\n' >"$fake/wine"
    chmod +x "$fake"/*
    (
        source "$root/scripts/lib/wine-env.sh"
        PATH=$fake:$PATH WINELOADER=/bin/true WINEPREFIX=$work/prefix
        rm -rf "$WINEPREFIX"
        tocklet_wine_prefix 2>/dev/null
        echo "$? $([ -f "$WINEPREFIX/.tocklet-ready" ] && echo marked || echo unmarked)"
    )
}
expect "wine-env: wineboot fails: an error, no ready marker" test "$(prefix_case 1 0)" = "1 unmarked"
expect "wine-env: the Wine server fails: an error, no ready marker" test "$(prefix_case 0 1)" = "1 unmarked"
expect "wine-env: both succeed: the prefix is marked ready" test "$(prefix_case 0 0)" = "0 marked"

# scripts/lib/drive.sh: a probe that fails reads as failed, also for a caller
# without pipefail.
probe_fails() {
    printf '#!/bin/sh\necho "state=idle"\nexit 1\n' >"$work/fakebin/wine"
    (
        set +o pipefail
        PATH=$work/fakebin:$PATH
        source "$root/scripts/lib/drive.sh"
        ! drive_probe --wait idle 1000 >/dev/null
    )
}
expect "drive.sh: a failed probe fails without the caller's pipefail" probe_fails

finish
