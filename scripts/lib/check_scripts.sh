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

finish
