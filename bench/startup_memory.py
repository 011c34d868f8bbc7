#!/usr/bin/env python3
"""Cold start and memory: the program against the engine's floor.

Runs bench_startup (the real program, showcase mode) and bench_floor (a bare WebKitGTK program
showing the same page) in turns under one private X server and one private session bus, and
reports for each the median time from spawn to "the page has taken init" and the median resident
(RSS) and proportional (PSS) memory of its whole process tree (UI, web, network and helper
processes), then the program's ratios to the floor.

The window's renderer decides much of both, so the run is made three times: with each program's
own choice (the program picks cairo when there is no GPU render node; the floor keeps GTK's
default), then with both on cairo, then with both on GL. Only the same-renderer comparisons say
what the program itself costs. A report, not a test: a missed target does not fail the run; a
program that does not come up does.
"""

import argparse
import json
import os
import select
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TARGET_RATIO = 1.10
# (name, what GSK_RENDERER is set to for both programs; None leaves each its own choice)
RENDERERS = [("own choice", None), ("cairo", "cairo"), ("gl", "gl")]
READY_TIMEOUT_S = 60.0
SETTLE_S = 1.0
EXIT_GRACE_S = 5.0
SERVER_START_TIMEOUT_S = 15.0

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class StartFailure(Exception):
    pass


# --- process trees -------------------------------------------------------------------------------

def read_stat(pid):
    """(parent pid, start time in ticks, name, state) of a process, or None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            text = f.read().decode("utf-8", "replace")
    except OSError:
        return None
    # The name is in parentheses and may itself hold spaces and parentheses.
    name = text[text.index("(") + 1:text.rindex(")")]
    fields = text[text.rindex(")") + 2:].split()
    return int(fields[1]), int(fields[19]), name, fields[0]


def process_tree(root):
    """The root and all its descendants as {pid: (start time, name)}."""
    children = {}
    identity = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        stat = read_stat(int(entry))
        if stat is None:
            continue
        parent, started, name, _ = stat
        children.setdefault(parent, []).append(int(entry))
        identity[int(entry)] = (started, name)
    tree = {}
    pending = [root]
    while pending:
        pid = pending.pop()
        if pid in tree or pid not in identity:
            continue
        tree[pid] = identity[pid]
        pending.extend(children.get(pid, []))
    return tree


def cpu_seconds(pid):
    """User and system time of a live process, all its threads together."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            text = f.read().decode("utf-8", "replace")
    except OSError:
        return 0.0
    fields = text[text.rindex(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def proc_kib(pid, file, field):
    """A "Field:  N kB" line of /proc/PID/<file>, in KiB; 0 once the process is gone (or for a
    kernel thread or zombie, which have no resident set)."""
    try:
        with open(f"/proc/{pid}/{file}") as f:
            for line in f:
                if line.startswith(field):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def vm_rss_kib(pid):
    return proc_kib(pid, "status", "VmRSS:")


def pss_kib(pid):
    return proc_kib(pid, "smaps_rollup", "Pss:")


def still_running(pid, started):
    """Whether `pid` is still the process that started at `started` and has not exited."""
    stat = read_stat(pid)
    # An exited child stays a zombie until its parent reaps it; it needs no more signals.
    return stat is not None and stat[1] == started and stat[3] not in ("Z", "X")


def end_tree(tree, main=None):
    """Ends every process of `tree` that is still the one recorded (a pid may be reused)."""
    def signal_all(signum):
        for pid, (started, _) in tree.items():
            if still_running(pid, started):
                try:
                    os.kill(pid, signum)
                except ProcessLookupError:
                    pass

    signal_all(signal.SIGTERM)
    deadline = time.monotonic() + EXIT_GRACE_S
    while time.monotonic() < deadline:
        if main is not None:
            main.poll()
        if not any(still_running(pid, started) for pid, (started, _) in tree.items()):
            break
        time.sleep(0.02)
    else:
        signal_all(signal.SIGKILL)
    if main is not None:
        try:
            main.wait(timeout=EXIT_GRACE_S)
        except subprocess.TimeoutExpired:
            main.kill()
            main.wait()


# --- the private session -------------------------------------------------------------------------

def read_line(stream, timeout):
    """One line from a pipe within `timeout` seconds, or None."""
    deadline = time.monotonic() + timeout
    data = b""
    fd = stream.fileno()
    while b"\n" not in data:
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            return None
        chunk = os.read(fd, 4096)
        if not chunk:
            return None
        data += chunk
    return data.split(b"\n", 1)[0].decode()


class Session:
    """One X server, one session bus and fresh HOME and XDG folders for the whole run."""

    def __init__(self, scratch):
        self.scratch = scratch
        self.xvfb = None
        self.bus = None
        self.env = None

    def __enter__(self):
        try:
            return self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise

    def _start(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                            "TALVEN_SUITE_DEMO", "TALVEN_SUITE_STEPS")}
        folders = {
            "HOME": "home", "XDG_CONFIG_HOME": "config", "XDG_CACHE_HOME": "cache",
            "XDG_STATE_HOME": "state", "XDG_DATA_HOME": "data", "XDG_RUNTIME_DIR": "runtime",
        }
        for name, sub in folders.items():
            path = os.path.join(self.scratch, sub)
            os.makedirs(path, mode=0o700, exist_ok=True)
            env[name] = path
        env["GTK_A11Y"] = "none"
        env["MESA_SHADER_CACHE_DISABLE"] = "true"

        # The server picks a free display itself and writes its number once it takes clients,
        # which leaves no window between choosing a number and another server taking it.
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", "1", "-screen", "0", "1920x1200x24", "-nolisten", "tcp"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        display = read_line(self.xvfb.stdout, SERVER_START_TIMEOUT_S)
        if not display or not display.strip().isdigit():
            raise StartFailure("Xvfb did not start")
        env["DISPLAY"] = ":" + display.strip()

        self.bus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        address = read_line(self.bus.stdout, SERVER_START_TIMEOUT_S)
        if not address:
            raise StartFailure("dbus-daemon did not start")
        env["DBUS_SESSION_BUS_ADDRESS"] = address.strip()
        self.env = env
        return self

    def __exit__(self, *exc):
        # Services the bus started for the programs (the accessibility bus) end with it.
        for server in (self.bus, self.xvfb):
            if server is not None:
                end_tree(process_tree(server.pid), server)
        return False


def run_bench(main, name):
    """Runs a bench's `main` as a program: its status, or 1 with the reason when a program under
measurement did not come up."""
    try:
        sys.exit(main())
    except StartFailure as failure:
        print(f"{name}: {failure}", file=sys.stderr)
        sys.exit(1)


# --- one measurement -----------------------------------------------------------------------------

def measure(name, command, env, log_dir, round_label):
    log_path = os.path.join(log_dir, f"{name}-{round_label}.log")
    with open(log_path, "wb") as log:
        started = time.monotonic_ns()
        child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=log, env=env,
                                 start_new_session=True)
    stat = read_stat(child.pid)
    tree = {child.pid: (stat[1], stat[2])} if stat else {}
    try:
        line = read_line(child.stdout, READY_TIMEOUT_S)
        if line is None or not line.startswith("READY "):
            try:
                # A closed pipe usually means the program is on its way out; let it finish.
                child.wait(timeout=1)
            except subprocess.TimeoutExpired:
                pass
            with open(log_path, "rb") as f:
                tail = f.read()[-2000:].decode("utf-8", "replace")
            state = "exited with %s" % child.returncode if child.returncode is not None \
                else "gave no READY line within %.0f s" % READY_TIMEOUT_S
            raise StartFailure(f"{name} {state}; its stderr ends with:\n{tail}")
        ready_ns = int(line.split()[1])
        # Wall time suffers from whatever else runs on the machine; the processor time the tree
        # took to get there much less so.
        cpu = sum(cpu_seconds(pid) for pid in process_tree(child.pid))
        time.sleep(SETTLE_S)
        tree = process_tree(child.pid)
        rss = {pid: vm_rss_kib(pid) for pid in tree}
        pss = sum(pss_kib(pid) for pid in tree)
    finally:
        end_tree(process_tree(child.pid) | tree, child)
    by_name = {}
    for pid, (_, name) in tree.items():
        count, kib = by_name.get(name, (0, 0))
        by_name[name] = (count + 1, kib + rss[pid])
    return {
        "start_to_init_ms": (ready_ns - started) / 1e6,
        "cpu_to_init_s": cpu,
        "tree_rss_mib": sum(rss.values()) / 1024.0,
        "tree_pss_mib": pss / 1024.0,
        "processes": {name: {"count": count, "rss_mib": kib / 1024.0}
                      for name, (count, kib) in sorted(by_name.items())},
    }


# --- the report ----------------------------------------------------------------------------------

def run_rounds(commands, renderer, rounds):
    """Every round of both programs under one renderer setting, in a session of their own."""
    results = {"floor": [], "program": []}
    with tempfile.TemporaryDirectory(prefix="talven-bench-") as scratch:
        with Session(scratch) as session:
            env = dict(session.env)
            if renderer is not None:
                env["GSK_RENDERER"] = renderer
            logs = os.path.join(scratch, "logs")
            os.makedirs(logs)
            # One uncounted start of each first, so both find the same warm file cache.
            for name in ("floor", "program"):
                measure(name, commands[name], env, logs, "warmup")
            for i in range(rounds):
                # Rounds alternate which program goes first; neither always follows the other.
                order = ("floor", "program") if i % 2 == 0 else ("program", "floor")
                for name in order:
                    figures = measure(name, commands[name], env, logs, str(i + 1))
                    results[name].append(figures)
                    parts = " ".join(
                        f"{process}" + (f"×{p['count']}" if p["count"] > 1 else "")
                        + f" {p['rss_mib']:.1f}"
                        for process, p in figures["processes"].items())
                    print(f"round {i + 1} {name:<8}{figures['start_to_init_ms']:8.1f} ms"
                          f"{figures['cpu_to_init_s']:6.2f} s CPU"
                          f"{figures['tree_rss_mib']:8.1f} MiB RSS"
                          f"{figures['tree_pss_mib']:8.1f} MiB PSS   ({parts})", flush=True)
    keys = ("start_to_init_ms", "cpu_to_init_s", "tree_rss_mib", "tree_pss_mib")
    median = {name: {key: statistics.median(r[key] for r in runs) for key in keys}
              for name, runs in results.items()}
    return {"runs": results, "median": median}


def ratio_line(label, floor, program, unit):
    ratio = program / floor if floor > 0 else float("inf")
    verdict = "within" if ratio <= TARGET_RATIO else "OVER"
    return (f"{label + ' (' + unit + ')':<30}{floor:>10.1f}{program:>10.1f}{ratio:>16.3f}   "
            f"{verdict} {TARGET_RATIO}"), ratio


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build"),
                        help="the CMake build folder (default: build)")
    parser.add_argument("--page", default=os.path.join(REPO, "web", "index.html"),
                        help="the page the floor shows (default: web/index.html)")
    parser.add_argument("--rounds", type=int, default=5, help="counted rounds (default: 5)")
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    if args.rounds < 1:
        parser.error("--rounds must be at least 1")

    floor_bin = os.path.join(args.build, "bench", "bench_floor")
    program_bin = os.path.join(args.build, "bench", "bench_startup")
    for path in (floor_bin, program_bin):
        if not os.access(path, os.X_OK):
            print(f"{path} is missing; build it with\n  cmake --build --preset default "
                  "--target bench_floor bench_startup", file=sys.stderr)
            return 2
    commands = {
        "floor": [floor_bin, os.path.abspath(args.page)],
        "program": [program_bin, "--demo"],
    }

    # Other work on the machine slows both programs, but not by the same factor; the load shows
    # how far the figures can be trusted.
    load_before = os.getloadavg()[0]
    report = {"rounds": args.rounds, "target_ratio": TARGET_RATIO, "renderers": {}}
    for label, renderer in RENDERERS:
        print(f"renderer: {label}", flush=True)
        try:
            report["renderers"][label] = run_rounds(commands, renderer, args.rounds)
        except StartFailure as failure:
            print(f"startup_memory: {failure}", file=sys.stderr)
            return 1
    load_after = os.getloadavg()[0]
    report["load_average"] = {"before": load_before, "after": load_after}

    print()
    print(f"{'median of ' + str(args.rounds):<30}{'floor':>10}{'program':>10}{'program/floor':>16}")
    for label, figures in report["renderers"].items():
        medians = figures["median"]
        figures["ratio"] = {}
        for key, title, unit in (("start_to_init_ms", "start to init", "ms"),
                                 ("tree_rss_mib", "tree RSS", "MiB"),
                                 ("tree_pss_mib", "tree PSS", "MiB")):
            line, ratio = ratio_line(f"{label}: {title}", medians["floor"][key],
                                     medians["program"][key], unit)
            figures["ratio"][key] = ratio
            print(line)
        # The two starts of one round run back to back, so the machine's drifting speed (other
        # guests, clock changes) weighs on both alike; the median of the rounds' own ratios is
        # the steadier figure when it drifts.
        runs = figures["runs"]
        paired = statistics.median(p["start_to_init_ms"] / f["start_to_init_ms"]
                                   for f, p in zip(runs["floor"], runs["program"]))
        figures["ratio"]["start_to_init_paired"] = paired
        print(f"{label + ': start, round by round':<30}{'':>20}{paired:>16.3f}   "
              f"{'within' if paired <= TARGET_RATIO else 'OVER'} {TARGET_RATIO}")
        cpu_floor, cpu_program = medians["floor"]["cpu_to_init_s"], medians["program"]["cpu_to_init_s"]
        print(f"{label + ': CPU to init (s)':<30}{cpu_floor:>10.2f}{cpu_program:>10.2f}"
              f"{cpu_program / cpu_floor if cpu_floor > 0 else float('inf'):>16.3f}   "
              "(for reading the times under load; no target)")
    print(f"load average (1 min): {load_before:.2f} before, {load_after:.2f} after, "
          f"on {os.cpu_count()} CPUs")

    if args.json:
        with open(args.json, "w") as f:
            json.dump(report, f, indent=2)
            f.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
