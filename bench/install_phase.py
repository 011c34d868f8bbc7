#!/usr/bin/env python3
"""The install phase of a batch of real Debian packages: the root install helper against one
apt-get install of the same files, in the same run, rounds interleaved. A report, not a test.

    tests/sandbox.sh python3 bench/install_phase.py [--build build] [--rounds 3] [--sizes 1 5 20]
    python3 bench/install_phase.py --print-debs N    (the first N package files, for other benches)

Installs for real, so it runs only where tests/sandbox.sh has put it: a private mount namespace
with overlays over /usr, /etc, /var and /opt, which nothing outlives. The packages are small
ones from Debian's archive whose dependencies this machine already has, fetched once into a
cache folder outside the repository and repacked with a version no repository offers, so apt
takes each file for itself and never for an archive's copy.
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
TEST_KEY = SOURCE / "tests/fixtures/catalog-test-key.pem"
TARGET = 1.2  # for 5 and 20 packages

# Leaf packages of Debian 12 that bring nothing else along on this machine; the first of them
# make the smaller batches. Each has a plain program and no service, users or alternatives.
PACKAGES = ["hello", "sl", "figlet", "tree", "pv", "ncdu", "dc", "dos2unix", "sysvbanner",
            "nyancat", "tofrodos", "mg", "ccze", "colordiff", "dtach", "pwgen", "apg", "boxes",
            "rlwrap", "arj"]
SUFFIX = "+talvenbench1"

TOOL_ENV = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "DEBIAN_FRONTEND": "noninteractive",
            "APT_LISTCHANGES_FRONTEND": "none", "LC_ALL": "C.UTF-8"}
# What the helper passes apt-get too, so both sides do the same transaction's work.
APT_OPTIONS = ["--yes", "--no-remove", "--allow-downgrades", "-o", "Dpkg::Use-Pty=0",
               "-o", "Dpkg::Options::=--force-confdef", "-o", "Dpkg::Options::=--force-confold"]


def cache_folder():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache")
    return Path(base) / "talven-bench" / "debs"


def run(args, **kw):
    return subprocess.run(args, check=True, env=TOOL_ENV, **kw)


def control_field(deb, field):
    return subprocess.run(["dpkg-deb", "--field", str(deb), field], check=True,
                          capture_output=True, text=True).stdout.strip()


def repacked(names, cache):
    """Each package fetched from the archive once, and rebuilt with the bench's own version."""
    fetched = cache / "archive"
    fetched.mkdir(parents=True, exist_ok=True)
    missing = [n for n in names if not list(fetched.glob(f"{n}_*.deb"))]
    if missing:
        run(["apt-get", "download", *missing], cwd=fetched)
    out = []
    for name in names:
        original = sorted(fetched.glob(f"{name}_*.deb"))[-1]
        version = control_field(original, "Version") + SUFFIX
        arch = control_field(original, "Architecture")
        deb = cache / f"{name}_{version.split(':')[-1]}_{arch}.deb"  # no epoch, as in the archive
        if not deb.exists():
            with tempfile.TemporaryDirectory() as work:
                root = Path(work) / "root"
                run(["dpkg-deb", "-R", str(original), str(root)])
                control = root / "DEBIAN/control"
                lines = control.read_text().splitlines()
                control.write_text("".join(
                    (f"Version: {version}" if line.startswith("Version:") else line) + "\n"
                    for line in lines))
                run(["dpkg-deb", "--root-owner-group", "-b", str(root), str(deb) + ".part"],
                    stdout=subprocess.DEVNULL)
                os.replace(str(deb) + ".part", deb)
        out.append({"name": name, "id": f"talven.bench.{name}", "file": deb, "arch": arch})
    return out


def signed_catalog(packages, folder):
    products = []
    for p in packages:
        data = p["file"].read_bytes()
        products.append({"id": p["id"], "packages": {"deb": {
            "sha256": hashlib.sha256(data).hexdigest(), "size": len(data), "arch": p["arch"]}}})
    catalog = folder / "catalog.json"
    catalog.write_text(json.dumps({"generated": "2026-01-01T00:00:00Z",
                                   "expires": "2099-01-01T00:00:00Z", "products": products}))
    subprocess.run([str(SOURCE / "tools/sign-catalog"), "sign", str(TEST_KEY), str(catalog)],
                   check=True)
    return catalog, Path(str(catalog) + ".sig")


def timed(args):
    started = time.monotonic()
    done = subprocess.run(args, env=TOOL_ENV, capture_output=True, text=True)
    took = time.monotonic() - started
    return took, done


def installed(names):
    q = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Status} ${Version}\n", *names],
                       capture_output=True, text=True, env=TOOL_ENV)
    return [line for line in q.stdout.splitlines()
            if " ok installed " in line and line.endswith(SUFFIX)]


def purge(names):
    run(["dpkg", "--purge", *names], stdout=subprocess.DEVNULL)


def helper_round(helper, catalog, signature, batch):
    args = [str(helper), str(catalog), str(signature)]
    for p in batch:
        args += [p["id"], str(p["file"])]
    took, done = timed(args)
    # Each package's result record: OK:<index> when installed, FAIL:, CHECK: or SIGNATURE: not.
    failed = [line for line in done.stdout.splitlines()
              if re.fullmatch(r"(FAIL|CHECK|SIGNATURE):\d+", line)]
    return took, done, failed


def apt_round(batch):
    took, done = timed(["apt-get", "install", *APT_OPTIONS, *[str(p["file"]) for p in batch]])
    return took, done, [] if done.returncode == 0 else ["apt-get exit %d" % done.returncode]


def measure(helper, catalog, signature, batch, rounds):
    names = [p["name"] for p in batch]
    sides = {"helper": lambda: helper_round(helper, catalog, signature, batch),
             "apt-get": lambda: apt_round(batch)}
    times = {"helper": [], "apt-get": []}
    ratios = []
    for round_ in range(rounds):
        order = ["helper", "apt-get"] if round_ % 2 == 0 else ["apt-get", "helper"]
        took = {}
        for side in order:
            seconds, done, failed = sides[side]()
            got = installed(names)
            if failed or done.returncode != 0 or len(got) != len(names):
                sys.exit(f"install_phase: {side} did not install all {len(names)} packages "
                         f"({len(got)} installed): {failed}\n{done.stdout[-3000:]}"
                         f"{done.stderr[-2000:]}")
            purge(names)
            took[side] = seconds
        for side in took:
            times[side].append(took[side])
        ratios.append(took["helper"] / took["apt-get"])
    return times, ratios


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default=str(SOURCE / "build"))
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--sizes", type=int, nargs="+", default=[1, 5, 20])
    ap.add_argument("--helper", help="the root helper (default: the build's test helper, "
                                     "which trusts the test key)")
    ap.add_argument("--print-debs", type=int, metavar="N",
                    help="only prepare the first N packages and print their files")
    args = ap.parse_args()
    if args.print_debs:
        print(" ".join(str(p["file"]) for p in repacked(PACKAGES[:args.print_debs],
                                                        cache_folder())))
        return
    if os.environ.get("SUITE_IN_SANDBOX") != "1" or os.geteuid() != 0:
        sys.exit("install_phase: installs packages; run it as root under tests/sandbox.sh")
    helper = Path(args.helper or Path(args.build) / "tests/suite_test_install_helper")
    if not helper.exists():
        sys.exit(f"install_phase: no helper at {helper}; build suite_test_install_helper")
    if max(args.sizes) > len(PACKAGES):
        sys.exit(f"install_phase: at most {len(PACKAGES)} packages")

    packages = repacked(PACKAGES[:max(args.sizes)], cache_folder())
    leftovers = installed([p["name"] for p in packages])
    if leftovers:
        sys.exit(f"install_phase: already installed here: {leftovers}")
    load_before = os.getloadavg()[0]
    with tempfile.TemporaryDirectory(prefix="talven-install-phase.") as folder:
        catalog, signature = signed_catalog(packages, Path(folder))
        # One uncounted install of everything, so the first side timed does not pay alone for
        # a cold file cache (apt's lists, dpkg's database, man-db's index).
        apt_round(packages)
        purge([p["name"] for p in packages])
        report = []
        for size in args.sizes:
            batch = packages[:size]
            times, ratios = measure(helper, catalog, signature, batch, args.rounds)
            h, a = statistics.median(times["helper"]), statistics.median(times["apt-get"])
            kib = sum(p["file"].stat().st_size for p in batch) // 1024
            report.append((size, kib, h, a, h / a, statistics.median(ratios), min(ratios),
                           max(ratios)))
            print(f"{size:2d} packages ({kib} KiB): helper {h * 1000:.0f} ms, apt-get "
                  f"{a * 1000:.0f} ms, ratio {h / a:.2f}; by round "
                  + " ".join(f"{r:.2f}" for r in ratios), flush=True)
    load_after = os.getloadavg()[0]
    print(f"\nmedians of {args.rounds} rounds, load {load_before:.2f} -> {load_after:.2f}")
    print("packages  helper ms  apt-get ms  ratio  round ratios (median, min-max)  target")
    for size, kib, h, a, ratio, mid, lo, hi in report:
        target = f"<= {TARGET} {'met' if ratio <= TARGET else 'MISSED'}" if size >= 5 else "-"
        print(f"{size:8d}  {h * 1000:9.0f}  {a * 1000:10.0f}  {ratio:5.2f}  "
              f"{mid:.2f} ({lo:.2f}-{hi:.2f})              {target}")


if __name__ == "__main__":
    main()
