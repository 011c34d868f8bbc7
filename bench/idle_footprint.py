#!/usr/bin/env python3
"""Hidden and idle: the program's footprint against a GTK 4 application with no window.

Each round starts the real program with --background (fresh settings: its first check fails at
once against the reserved vendor name, so nothing is under way afterwards) beside bench_idle_floor
(a GTK 4 application that holds itself with no window) under one private X server and session
bus. Once the program's WebKit processes have ended (it has made way for the waiting program) it
lets both settle, then samples both trees for a while: PSS, RSS and USS from
/proc/PID/smaps_rollup, the number of processes, wake-ups per second (voluntary and involuntary
context switches of every thread) and CPU share. Then it times the window shown again from the
waiting program (bench_reshow --background, once it has made way: a second start to the page's
"init") against a cold start (bench_reshow: spawn to "init"). Medians of the rounds; a report,
not a test.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from startup_memory import (REPO, Session, StartFailure, cpu_seconds, end_tree,  # noqa: E402
                            process_tree, read_line)

PSS_TARGET_RATIO = 1.3
RESHOW_TARGET_RATIO = 1.2
DROP_TIMEOUT_S = 180.0
READY_TIMEOUT_S = 60.0


def rollup_kib(pid):
    """{"Pss": kib, "Rss": kib, "Uss": kib} of one process (zeros once it is gone)."""
    fields = {}
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                parts = line.split()
                if len(parts) >= 2 and parts[1].isdigit():
                    fields[parts[0].rstrip(":")] = int(parts[1])
    except OSError:
        pass
    return {"Pss": fields.get("Pss", 0), "Rss": fields.get("Rss", 0),
            "Uss": fields.get("Private_Clean", 0) + fields.get("Private_Dirty", 0)}


def switches(pid):
    """{(pid, thread id): context switches so far} of every thread of one process."""
    counts = {}
    try:
        tasks = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return counts
    for task in tasks:
        try:
            with open(f"/proc/{pid}/task/{task}/status") as f:
                counts[(pid, task)] = sum(
                    int(line.split()[1]) for line in f
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")))
        except OSError:
            pass
    return counts


def tree_switches(tree):
    counts = {}
    for pid in tree:
        counts.update(switches(pid))
    return counts


def webkit_running(root):
    return any(name.startswith("WebKit") for _, name in process_tree(root).values())


def sample(roots, seconds):
    """Footprint of each tree in `roots` ({label: pid}) over `seconds`."""
    trees = {label: process_tree(pid) for label, pid in roots.items()}
    before = {label: (tree_switches(tree), sum(cpu_seconds(p) for p in tree))
              for label, tree in trees.items()}
    time.sleep(seconds)
    figures = {}
    for label, pid in roots.items():
        tree = process_tree(pid)
        memory = [rollup_kib(p) for p in tree]
        # A thread that ended during the sample took its count with it; one that began, counts whole.
        now_switches = tree_switches(tree)
        woke = sum(n - before[label][0].get(key, 0) for key, n in now_switches.items())
        cpu = sum(cpu_seconds(p) for p in tree) - before[label][1]
        figures[label] = {
            "pss_mib": sum(m["Pss"] for m in memory) / 1024, "rss_mib": sum(m["Rss"] for m in memory) / 1024,
            "uss_mib": sum(m["Uss"] for m in memory) / 1024, "processes": len(tree),
            "wakeups_per_s": woke / seconds, "cpu_percent": 100 * cpu / seconds,
            "names": sorted(name for _, name in tree.values()),
        }
    return figures


def spawn(command, env, log):
    return subprocess.Popen(command, stdout=subprocess.PIPE, stderr=log, env=env, start_new_session=True)


def stamp(child, word):
    line = read_line(child.stdout, READY_TIMEOUT_S + DROP_TIMEOUT_S)
    if line is None or not line.startswith(word + " "):
        raise StartFailure(f"expected {word}, got {line!r}")
    return int(line.split()[1])


def footprint_round(bins, env, log, settle, seconds):
    program = spawn([bins["program"], "--background"], env, log)
    floor = spawn([bins["floor"]], env, log)
    try:
        deadline = time.monotonic() + DROP_TIMEOUT_S
        time.sleep(2)  # the page's processes start within a moment
        while webkit_running(program.pid):
            if time.monotonic() > deadline or program.poll() is not None:
                raise StartFailure("the program never dropped its web view")
            time.sleep(0.5)
        dropped_after = time.monotonic() - (deadline - DROP_TIMEOUT_S)
        time.sleep(settle)
        figures = sample({"floor": floor.pid, "program": program.pid}, seconds)
        figures["program"]["dropped_after_s"] = dropped_after
        return figures
    finally:
        for child in (program, floor):
            end_tree(process_tree(child.pid), child)


def reshow_round(reshow, waiter, env, log):
    cold_start = time.monotonic_ns()
    cold = spawn([reshow], env, log)
    try:
        cold_ms = (stamp(cold, "READY") - cold_start) / 1e6
    finally:
        end_tree(process_tree(cold.pid), cold)
    again = spawn([reshow, "--background"], env, log)
    try:
        deadline = time.monotonic() + READY_TIMEOUT_S + DROP_TIMEOUT_S
        while os.path.realpath(f"/proc/{again.pid}/exe") != waiter:
            if time.monotonic() > deadline or again.poll() is not None:
                raise StartFailure("bench_reshow never made way for the waiting program")
            time.sleep(0.2)
        time.sleep(1)
        # A second start, as the user's: it hands its wish to the waiting program and ends.
        shown = time.monotonic_ns()
        subprocess.run([reshow], env=env, stdout=subprocess.DEVNULL, stderr=log, timeout=30, check=True)
        again_ms = (stamp(again, "READY") - shown) / 1e6
    finally:
        end_tree(process_tree(again.pid), again)
    return cold_ms, again_ms


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--settle", type=float, default=30.0, help="seconds after the drop")
    parser.add_argument("--sample", type=float, default=60.0, help="seconds sampled")
    args = parser.parse_args()
    bins = {"program": os.path.join(args.build, "talven-suite"),
            "floor": os.path.join(args.build, "bench", "bench_idle_floor"),
            "reshow": os.path.join(args.build, "bench", "bench_reshow"),
            "waiter": os.path.join(args.build, "talven-suite-wait")}
    for path in bins.values():
        if not os.access(path, os.X_OK):
            print(f"{path} is missing; build talven-suite talven-suite-wait bench_idle_floor bench_reshow", file=sys.stderr)
            return 2

    load_before = os.getloadavg()
    rounds, reshows = [], []
    with tempfile.TemporaryDirectory(prefix="talven-idle-") as scratch:
        try:
            with Session(scratch) as session, open(os.path.join(scratch, "log"), "wb") as log:
                for i in range(args.rounds):
                    # Every round starts from no settings: its first check is the one at start.
                    settings = os.path.join(session.env["XDG_CONFIG_HOME"], "TALVEN Suite")
                    subprocess.run(["rm", "-rf", settings], check=True)
                    figures = footprint_round(bins, session.env, log, args.settle, args.sample)
                    rounds.append(figures)
                    for label in ("floor", "program"):
                        f = figures[label]
                        print(f"round {i + 1} {label:<8} PSS {f['pss_mib']:6.1f}  RSS {f['rss_mib']:6.1f}"
                              f"  USS {f['uss_mib']:6.1f} MiB  {f['processes']} proc"
                              f"  {f['wakeups_per_s']:5.2f} wake-ups/s  {f['cpu_percent']:4.2f} % CPU"
                              f"  ({', '.join(f['names'])})", flush=True)
                    cold_ms, again_ms = reshow_round(bins["reshow"], os.path.realpath(bins["waiter"]),
                                                    session.env, log)
                    reshows.append((cold_ms, again_ms))
                    print(f"round {i + 1} cold start to init {cold_ms:7.1f} ms, shown again to init"
                          f" {again_ms:7.1f} ms", flush=True)
        except StartFailure as failure:
            print(f"idle_footprint: {failure}", file=sys.stderr)
            return 1

    def median(label, key):
        return statistics.median(r[label][key] for r in rounds)

    print(f"\nmedian of {args.rounds} ({args.settle:.0f} s settling, {args.sample:.0f} s sample)"
          f"{'floor':>12}{'program':>10}")
    for key, name in (("pss_mib", "tree PSS (MiB)"), ("rss_mib", "tree RSS (MiB)"),
                      ("uss_mib", "tree USS (MiB)"), ("processes", "processes"),
                      ("wakeups_per_s", "wake-ups per second"), ("cpu_percent", "CPU (%)")):
        print(f"{name:<46}{median('floor', key):>12.2f}{median('program', key):>10.2f}")
    ratio = median("program", "pss_mib") / median("floor", "pss_mib")
    print(f"PSS program/floor {ratio:.3f}   {'within' if ratio <= PSS_TARGET_RATIO else 'OVER'}"
          f" {PSS_TARGET_RATIO}   (dropped {statistics.median(r['program']['dropped_after_s'] for r in rounds):.0f} s"
          " after start)")
    cold = statistics.median(c for c, _ in reshows)
    again = statistics.median(a for _, a in reshows)
    verdict = "within" if again <= RESHOW_TARGET_RATIO * cold else "OVER"
    print(f"shown again to init {again:.0f} ms, cold start {cold:.0f} ms: {again / cold:.3f}   "
          f"{verdict} {RESHOW_TARGET_RATIO}")
    load_after = os.getloadavg()
    print(f"load average (1, 5, 15 min): {load_before[0]:.2f} {load_before[1]:.2f} {load_before[2]:.2f}"
          f" before, {load_after[0]:.2f} {load_after[1]:.2f} {load_after[2]:.2f} after, on"
          f" {os.cpu_count()} CPUs")
    return 0


if __name__ == "__main__":
    sys.exit(main())
