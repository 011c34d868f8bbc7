#!/usr/bin/env python3
"""CPU the program's whole process tree spends while its window shows a state that moves or
waits: nothing changing, rows receiving download progress (an event every 150 ms, as the
downloader sends them), and the wait for the administrator password. The real program in
showcase mode (nothing is installed), under a private Xvfb and session bus; each state is held
and its CPU taken over `--seconds` (8), in percent of one core.

    cmake --build --preset default --target talven-suite && python3 bench/animation_cpu.py

Targets: <= 5 % while progress arrives or the password is awaited, 0 % when nothing changes.
Exits 0 when a target is missed; non-zero when the program does not come up."""
import argparse
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from startup_memory import REPO, cpu_seconds, end_tree, process_tree, run_bench, Session, StartFailure  # noqa: E402

TARGETS = {"idle": 0.5, "download progress": 5.0, "password wait": 5.0}
SETTLE_S = 1.0
START_TIMEOUT_S = 60.0

# Each state begins with a picture as its marker: the sampler waits for the file, lets the
# picture's own cost pass, then measures while the state holds.
STEPS = """size 1180 780
wait 3
shot {dir}/idle.png
wait {hold}
js window.__pct = 0; window.__feed = setInterval(() => {{ window.__pct = Math.min(99, window.__pct + 0.4); Suite.receive({{type: 'progress', id: 'talven.capture', phase: 'download', pct: window.__pct}}); }}, 150)
wait 1
shot {dir}/download-progress.png
wait {hold}
js clearInterval(window.__feed); Suite.receive({{type: 'progress', id: 'talven.capture', phase: 'password', pct: 100}})
wait 1
shot {dir}/password-wait.png
wait {hold}
quit
"""


def tree_cpu(root):
    """CPU seconds so far of each process of the tree, by "name pid"."""
    return {f"{name} {pid}": cpu_seconds(pid) for pid, (_, name) in process_tree(root).items()}


def wait_for(path, deadline):
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            raise StartFailure(f"the program never reached {os.path.basename(path)}")
        time.sleep(0.05)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    parser.add_argument("--seconds", type=float, default=8.0)
    args = parser.parse_args()
    program = os.path.join(args.build, "talven-suite")
    with tempfile.TemporaryDirectory(prefix="talven-animation-") as scratch, Session(scratch) as session:
        shots = os.path.join(scratch, "shots")
        os.makedirs(shots)
        steps = os.path.join(scratch, "states.steps")
        with open(steps, "w") as f:
            f.write(STEPS.format(dir=shots, hold=args.seconds + SETTLE_S + 2))
        env = dict(session.env, TALVEN_SUITE_STEPS=steps)
        with open(os.path.join(scratch, "program.log"), "wb") as log:
            main_process = subprocess.Popen([program, "--demo"], env=env, stdout=log, stderr=log)
            results = {}
            try:
                deadline = time.monotonic() + START_TIMEOUT_S
                for state, marker in (("idle", "idle.png"), ("download progress", "download-progress.png"),
                                      ("password wait", "password-wait.png")):
                    wait_for(os.path.join(shots, marker), deadline)
                    time.sleep(SETTLE_S)
                    before = tree_cpu(main_process.pid)
                    time.sleep(args.seconds)
                    after = tree_cpu(main_process.pid)
                    results[state] = {name: 100.0 * (spent - before.get(name, 0.0)) / args.seconds
                                      for name, spent in after.items()}
                    deadline = time.monotonic() + args.seconds + START_TIMEOUT_S
            finally:
                end_tree(process_tree(main_process.pid), main_process)
    for state, processes in results.items():
        total = sum(processes.values())
        busiest = ", ".join(f"{name.rsplit(' ', 1)[0]} {percent:.1f}" for name, percent in
                            sorted(processes.items(), key=lambda item: -item[1])[:3] if percent >= 0.1)
        print(f"{state:<20} {total:5.1f} % of one core (target <= {TARGETS[state]:g} %)"
              + (f"  [{busiest}]" if busiest else ""))
    print(f"load average         {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    return 0


if __name__ == "__main__":
    run_bench(main, "animation_cpu")
