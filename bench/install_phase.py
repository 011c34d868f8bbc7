#!/usr/bin/env python3
"""The install phase of a batch of real packages: the root install helper against one
install by the system's own tool of the same files, in the same run, rounds interleaved. A
report, not a test.

    tests/sandbox.sh python3 bench/install_phase.py [--build build] [--rounds 3] [--sizes 1 5 20]
    tests/sandbox.sh python3 bench/install_phase.py --rpm [--rounds 3] [--sizes 5 20]
    python3 bench/install_phase.py --print-debs N    (the first N package files, for other benches)

Installs for real, so it runs only where tests/sandbox.sh has put it: a private mount namespace
with overlays over /usr, /etc, /var and /opt, which nothing outlives.

Debian packages (the default) against one apt-get install: small ones from Debian's archive
whose dependencies this machine already has, fetched once into a cache folder outside the
repository and repacked with a version no repository offers, so apt takes each file for itself
and never for an archive's copy.

RPM packages (--rpm) against one `dnf install -y`: the sandbox is made to look like a Fedora
system (its os-release, an rpm database under /var with a base package standing for the
system's shell, a local repository), and the packages are built once by rpmbuild (noarch, a few
hundred KiB of payload each) into the same cache folder.
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


RPM_COUNT = 20
RPM_VERSION = "1.0-1"
RPM_PAYLOAD_KIB = 320


def built_rpms(count, cache):
    """Twenty noarch packages of incompressible payload (so that each costs what its size says to
    copy, digest and unpack), subpackages of one .build_file file built once by rpmbuild; its main
    package stands for the system's shell."""
    names = [f"talven-bench-{i:02d}" for i in range(1, RPM_COUNT + 1)]
    file_of = lambda name: cache / f"{name}-{RPM_VERSION}.noarch.rpm"
    base = file_of("talven-bench-base")
    if not base.exists() or not all(file_of(n).exists() for n in names):
        cache.mkdir(parents=True, exist_ok=True)
        build_file = ["Name: talven-bench-base", f"Version: {RPM_VERSION.split('-')[0]}",
                f"Release: {RPM_VERSION.split('-')[1]}", "Summary: the system's shell",
                "License: MIT", "BuildArch: noarch", "Provides: /bin/sh", "Provides: /bin/bash",
                "%description", "the system's shell", "%install"]
        for n in names:
            build_file.append(f"mkdir -p %{{buildroot}}/opt/{n} && head -c {RPM_PAYLOAD_KIB}K "
                        f"/dev/urandom > %{{buildroot}}/opt/{n}/payload")
        build_file.append("%files")
        for n in names:
            build_file += [f"%package -n {n}", "Summary: a product", f"%description -n {n}",
                     "a product for the install bench", f"%files -n {n}", f"/opt/{n}"]
        with tempfile.TemporaryDirectory() as work:
            (Path(work) / "bench.build_file").write_text("\n".join(build_file) + "\n")
            # A database of its own, should rpmbuild open one: root's is no business of a build.
            run(["rpmbuild", "-bb", "--quiet", "--define", f"_topdir {work}/top",
                 "--dbpath", f"{work}/db", f"{work}/bench.build_file"], stdout=subprocess.DEVNULL)
            for built in (Path(work) / "top/RPMS/noarch").iterdir():
                shutil.copy(built, cache / (built.name + ".part"))
                os.replace(cache / (built.name + ".part"), cache / built.name)
    return [{"name": n, "id": f"talven.bench.{n}", "file": file_of(n), "arch": "noarch",
             "base": base} for n in names[:count]]


def fedora_world(base):
    """The sandbox as a Fedora system: its os-release, rpm's database under /var (the sandbox's
    rpm macros put it there) holding a base package, and one local repository, which dnf loads
    as it loads a system's repositories."""
    Path("/etc/os-release").unlink(missing_ok=True)
    Path("/etc/os-release").write_text("ID=fedora\nVERSION_ID=40\n")
    run(["rpm", "--initdb"])
    run(["rpm", "-i", "--justdb", "--nodeps", "--replacepkgs", str(base)],
        stderr=subprocess.DEVNULL)
    repo = Path("/var/lib/talven-bench-repo")  # under an overlay: gone with the sandbox
    repo.mkdir(exist_ok=True)
    shutil.copy(base, repo)
    run(["createrepo_c", "-q", str(repo)])
    os.chmod(repo, 0o755)
    Path("/etc/yum.repos.d").mkdir(parents=True, exist_ok=True)
    Path("/etc/yum.repos.d/talven-bench.repo").write_text(
        f"[talven-bench]\nname=talven-bench\nbaseurl=file://{repo}\ngpgcheck=0\nenabled=1\n")


def signed_catalog(packages, folder, kind="deb"):
    products = []
    for p in packages:
        data = p["file"].read_bytes()
        products.append({"id": p["id"], "packages": {kind: {
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


class Debs:
    """Debian packages, apt-get and dpkg."""
    kind = "deb"
    reference = "apt-get"
    explain = None

    def prepare(self, count):
        return repacked(PACKAGES[:count], cache_folder())

    def installed(self, names):
        return installed(names)

    def remove(self, names):
        purge(names)

    def reference_round(self, batch):
        return apt_round(batch)

    def restore(self):
        pass


class Rpms:
    """RPM packages, dnf and rpm, on a system that says it is Fedora."""
    kind = "rpm"
    reference = "dnf"
    # The helper's plan, timed apart in the same rounds: what it runs before the install itself.
    explain = "plan"

    def prepare(self, count):
        packages = built_rpms(count, cache_folder().parent / "rpms")
        fedora_world(packages[0]["base"])
        return packages

    def installed(self, names):
        q = subprocess.run(["rpm", "-q", "--qf", "%{NAME} %{EVR}\n", *names],
                           capture_output=True, text=True, env=TOOL_ENV)
        return [line for line in q.stdout.splitlines()
                if line.split(" ")[0] in names and line.endswith(" " + RPM_VERSION)]

    def remove(self, names):
        # Debian's rpm warns on every call that it is not the system's installer; only its
        # failures are shown.
        done = subprocess.run(["rpm", "-e", *names], env=TOOL_ENV, capture_output=True, text=True)
        if done.returncode != 0:
            sys.exit(f"install_phase: rpm -e failed: {done.stderr[-2000:]}")

    def reference_round(self, batch):
        took, done = timed(["dnf", "install", "-y", *[str(p["file"]) for p in batch]])
        return took, done, [] if done.returncode == 0 else ["dnf exit %d" % done.returncode]

    def explain_round(self, batch):
        # As the helper plans: --assumeno answers no, and dnf exits 1 having printed the plan.
        took, done = timed(["dnf", "install", "--assumeno", *[str(p["file"]) for p in batch]])
        return took

    def restore(self):
        # The Debian benches and tests in the same sandbox read the system's family too.
        Path("/etc/os-release").unlink(missing_ok=True)
        os.symlink("../usr/lib/os-release", "/etc/os-release")


def measure(kind, helper, catalog, signature, batch, rounds):
    names = [p["name"] for p in batch]
    sides = {"helper": lambda: helper_round(helper, catalog, signature, batch),
             kind.reference: lambda: kind.reference_round(batch)}
    times = {side: [] for side in sides}
    if kind.explain:
        times[kind.explain] = []
    ratios = []
    for round_ in range(rounds):
        order = list(sides) if round_ % 2 == 0 else list(reversed(sides))
        took = {}
        for side in order:
            seconds, done, failed = sides[side]()
            got = kind.installed(names)
            if failed or done.returncode != 0 or len(got) != len(names):
                sys.exit(f"install_phase: {side} did not install all {len(names)} packages "
                         f"({len(got)} installed): {failed}\n{done.stdout[-3000:]}"
                         f"{done.stderr[-2000:]}")
            kind.remove(names)
            took[side] = seconds
        if kind.explain:
            took[kind.explain] = kind.explain_round(batch)
        for side in took:
            times[side].append(took[side])
        ratios.append(took["helper"] / took[kind.reference])
    return times, ratios


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default=str(SOURCE / "build"))
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--sizes", type=int, nargs="+", default=[1, 5, 20])
    ap.add_argument("--rpm", action="store_true",
                    help="RPM packages against dnf, on a Fedora system made in the sandbox")
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
    kind = Rpms() if args.rpm else Debs()
    most = RPM_COUNT if args.rpm else len(PACKAGES)
    if max(args.sizes) > most:
        sys.exit(f"install_phase: at most {most} packages")

    try:
        report(kind, helper, args)
    finally:
        kind.restore()


def report(kind, helper, args):
    packages = kind.prepare(max(args.sizes))
    every = [p["name"] for p in packages]
    leftovers = kind.installed(every)
    if leftovers:
        sys.exit(f"install_phase: already installed here: {leftovers}")
    load_before = os.getloadavg()[0]
    ref = kind.reference
    lines = []
    with tempfile.TemporaryDirectory(prefix="talven-install-phase.") as folder:
        catalog, signature = signed_catalog(packages, Path(folder), kind.kind)
        # One uncounted install of everything, so the first side timed does not pay alone for
        # a cold file cache (the tool's lists or repository metadata, the package database).
        kind.reference_round(packages)
        kind.remove(every)
        for size in args.sizes:
            batch = packages[:size]
            times, ratios = measure(kind, helper, catalog, signature, batch, args.rounds)
            h, a = statistics.median(times["helper"]), statistics.median(times[ref])
            kib = sum(p["file"].stat().st_size for p in batch) // 1024
            extra = ""
            if kind.explain:
                plan = statistics.median(times[kind.explain])
                extra = f", {kind.explain} alone {plan * 1000:.0f} ms"
            lines.append((size, kib, h, a, h / a, statistics.median(ratios), min(ratios),
                          max(ratios)))
            print(f"{size:2d} packages ({kib} KiB): helper {h * 1000:.0f} ms, {ref} "
                  f"{a * 1000:.0f} ms, ratio {h / a:.2f}{extra}; by round "
                  + " ".join(f"{r:.2f}" for r in ratios), flush=True)
    load_after = os.getloadavg()[0]
    print(f"\nmedians of {args.rounds} rounds, load {load_before:.2f} -> {load_after:.2f}")
    print(f"packages  helper ms  {ref + ' ms':>10}  ratio  round ratios (median, min-max)  target")
    for size, kib, h, a, ratio, mid, lo, hi in lines:
        target = f"<= {TARGET} {'met' if ratio <= TARGET else 'MISSED'}" if size >= 5 else "-"
        print(f"{size:8d}  {h * 1000:9.0f}  {a * 1000:10.0f}  {ratio:5.2f}  "
              f"{mid:.2f} ({lo:.2f}-{hi:.2f})              {target}")


if __name__ == "__main__":
    main()
