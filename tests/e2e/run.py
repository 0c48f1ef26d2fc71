#!/usr/bin/env python3
"""Runs the end-to-end tests (tests/e2e/test_*.py, functions test_*) inside the sandbox.

Each test gets a Harness (see harness.py). Prints one line per test and a closing
"N passed, M failed" line. Pass test names as arguments to run only those.
"""
import importlib.util
import pathlib
import sys
import time
import traceback

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import harness  # noqa: E402


def main(selected):
    passed = failed = 0
    for path in sorted(HERE.glob("test_*.py")):
        spec = importlib.util.spec_from_file_location(path.stem, path)
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        for name in sorted(n for n in dir(module) if n.startswith("test_")):
            full = f"{path.stem}.{name}"
            if selected and not any(s in full for s in selected):
                continue
            start = time.monotonic()
            h = harness.Harness(full)
            try:
                getattr(module, name)(h)
                passed += 1
                print(f"ok     {full} ({time.monotonic() - start:.1f} s)", flush=True)
            except Exception:
                failed += 1
                print(f"FAILED {full} ({time.monotonic() - start:.1f} s)", flush=True)
                traceback.print_exc()
            finally:
                h.close()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
