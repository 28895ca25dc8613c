#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Start-up and the batch path as whole processes, against bench/floor: each command run
in turns with the floor, unpinned, and the medians compared.

    bench/startup.py CLI FLOOR [RUNS, default 41] [LINES, default 2000000]

One line: `sheetfind-cli 49.25 -123.1` against the floor answering the same line on its
standard input (goal: at most 2x). The batch: both on the same file of LINES random
points of the grid (goal: at most 1.5x). Both answers are checked equal first.
"""
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time


def timed(command, stdin_path):
    with open(stdin_path, "rb") as stdin:
        start = time.perf_counter()
        subprocess.run(command, stdin=stdin, stdout=subprocess.DEVNULL, check=True,
                       env={"LC_ALL": "C"})
        return time.perf_counter() - start


def answers(command, stdin_path):
    with open(stdin_path, "rb") as stdin:
        return subprocess.run(command, stdin=stdin, capture_output=True, check=True,
                              env={"LC_ALL": "C"}).stdout


def compare(label, cli, floor, stdin_path, runs, goal):
    if answers(cli, stdin_path) != answers(floor, stdin_path):
        sys.exit(f"{label}: sheetfind-cli and bench/floor answer differently")
    times = {"cli": [], "floor": []}
    for _ in range(runs):
        times["floor"].append(timed(floor, stdin_path))
        times["cli"].append(timed(cli, stdin_path))
    cli_time = statistics.median(times["cli"])
    floor_time = statistics.median(times["floor"])
    print(f"  {label:<34} sheetfind-cli {cli_time * 1000:9.2f} ms   floor {floor_time * 1000:9.2f} ms"
          f"   {cli_time / floor_time:5.2f}x (goal: at most {goal}x)")


def main():
    cli, floor = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 41
    lines = int(sys.argv[4]) if len(sys.argv) > 4 else 2_000_000
    with tempfile.TemporaryDirectory() as work:
        one = os.path.join(work, "one.txt")
        with open(one, "w") as out:
            out.write("49.25 -123.1\n")
        empty = os.path.join(work, "empty.txt")
        open(empty, "w").close()
        batch = os.path.join(work, "batch.txt")
        rng = random.Random(20261209)
        with open(batch, "w") as out:
            for _ in range(lines):
                out.write(f"{40 + 40 * rng.random():.6f} {-48 - 96 * rng.random():.6f}\n")
        print(f"Start-up and batch as whole processes, unpinned, {runs} runs each in turns, medians")
        compare("one point (sheetfind-cli 49.25 -123.1)", [cli, "49.25", "-123.1"], [floor], one,
                runs, 2)
        compare(f"{lines} lines on standard input", [cli], [floor], batch, max(5, runs // 8), 1.5)


if __name__ == "__main__":
    main()
