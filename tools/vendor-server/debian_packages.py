"""Real Debian packages for the local vendor service, built with dpkg-deb.

Each package installs /opt/talven/<short name>/VERSION (and, when it carries a payload, a file of
random bytes beside it), so whoever installed it can see on disk that it arrived.
"""

import concurrent.futures
import dataclasses
import os
import shlex
import shutil
import subprocess
import tempfile

MAINTAINER = "TALVEN test packages <packages@brenlow.example>"
INSTALL_ROOT = os.path.join("opt", "talven")
RANDOM_PIECE = 1 << 30


@dataclasses.dataclass(frozen=True)
class DebRecipe:
    name: str                     # the Debian package name; detection looks for it
    version: str
    short: str                    # its folder under /opt/talven
    summary: str
    depends: tuple = ()
    postinst_error: str = ""      # when set, the postinst prints it on stderr and exits 1
    payload_bytes: int = 0

    @property
    def file(self):
        return f"{self.name}_{self.version}_all.deb"


def control_text(recipe):
    lines = [
        f"Package: {recipe.name}",
        f"Version: {recipe.version}",
        "Architecture: all",
        f"Maintainer: {MAINTAINER}",
        "Section: misc",
        "Priority: optional",
    ]
    if recipe.depends:
        lines.append("Depends: " + ", ".join(recipe.depends))
    lines += [
        f"Description: {recipe.summary}",
        " A test package from the local vendor service of TALVEN Suite. It installs",
        f" /{INSTALL_ROOT}/{recipe.short}/VERSION and nothing else of note.",
    ]
    return "\n".join(lines) + "\n"


def failing_postinst(message):
    return f"#!/bin/sh\necho {shlex.quote(message)} >&2\nexit 1\n"


def write_file(path, text, mode=0o644):
    with open(path, "w") as f:
        f.write(text)
    # Explicit modes: dpkg-deb refuses a control folder or script whose mode a strict umask
    # narrowed, and installed files should not depend on who started the service.
    os.chmod(path, mode)


def write_random(path, size):
    # Random bytes stay the same size however the package is compressed, so its size is honest.
    # OpenSSL's generator writes them several times faster than the kernel's; it takes at most
    # an int's worth of bytes per call.
    with open(path, "wb") as out:
        left = size
        while left > 0:
            piece = min(left, RANDOM_PIECE)
            run(["openssl", "rand", str(piece)], out)
            left -= piece
    os.chmod(path, 0o644)


def run(command, stdout=subprocess.DEVNULL):
    # Tools report on stdout, which belongs to the service's start line unless it is sent away.
    result = subprocess.run(command, stdout=stdout, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"{command[0]} failed: {result.stderr.strip()}")


def stage(recipe, root):
    """Lays out the package's tree under `root`, as dpkg-deb --build reads it."""
    control = os.path.join(root, "DEBIAN")
    target = os.path.join(root, INSTALL_ROOT, recipe.short)
    os.makedirs(control, mode=0o755)
    os.makedirs(target, mode=0o755)
    for folder, _, _ in os.walk(root):
        os.chmod(folder, 0o755)
    write_file(os.path.join(control, "control"), control_text(recipe))
    if recipe.postinst_error:
        script = failing_postinst(recipe.postinst_error)
        write_file(os.path.join(control, "postinst"), script, 0o755)
    write_file(os.path.join(target, "VERSION"), recipe.version + "\n")
    if recipe.payload_bytes:
        write_random(os.path.join(target, "payload.bin"), recipe.payload_bytes)


def build_command(recipe, root, out):
    # Random payloads do not shrink, so compressing them would only cost start-up time.
    compression = ["-Znone"] if recipe.payload_bytes else ["-Zgzip", "-z1"]
    return ["dpkg-deb", "--root-owner-group", "--build", *compression, root, out]


def build_one(recipe, staging, folder):
    """Stages and builds one package into `folder`; returns the path of its .deb."""
    root = os.path.join(staging, recipe.name)
    stage(recipe, root)
    out = os.path.join(folder, recipe.file)
    run(build_command(recipe, root, out))
    return out


class Builds:
    """Builds every recipe into `folder` in the background; finish() waits for them.

    The builds run side by side and beside whatever the caller does in the meantime (the tools
    do the work, so threads suffice), which keeps the service's start-up short.
    """

    def __init__(self, recipes, folder):
        self.staging = tempfile.mkdtemp(prefix=".deb-staging.", dir=folder)
        self.pool = concurrent.futures.ThreadPoolExecutor(max_workers=max(1, len(recipes)))
        self.jobs = {r.name: self.pool.submit(build_one, r, self.staging, folder) for r in recipes}

    def finish(self):
        """{package name: path of its .deb}, once every build is done; raises when one failed."""
        try:
            return {name: job.result() for name, job in self.jobs.items()}
        finally:
            self.pool.shutdown()
            shutil.rmtree(self.staging, ignore_errors=True)


def fields(path, *names):
    """The named control fields of the package at `path` (dpkg-deb --field)."""
    result = subprocess.run(["dpkg-deb", "--field", path, *names], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"{path} is not a Debian package: {result.stderr.strip()}")
    # One field comes back as its bare value, several as "Name: value" lines.
    if len(names) == 1:
        found = {names[0]: result.stdout.strip()}
    else:
        found = {}
        for line in result.stdout.splitlines():
            key, _, value = line.partition(":")
            found[key.strip()] = value.strip()
    missing = [n for n in names if not found.get(n)]
    if missing:
        raise RuntimeError(f"{path} has no {', '.join(missing)} field")
    return found
