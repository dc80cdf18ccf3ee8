"""One line per check and a closing "N passed, M failed" line, which
scripts/test counts."""


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def expect(self, label, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"  ok: {label}")
        else:
            self.failed += 1
            print(f"  FAILED: {label}" + (f" ({detail})" if detail else ""))
        return ok

    def close(self):
        print(f"{self.passed} passed, {self.failed} failed")
        return 1 if self.failed else 0
