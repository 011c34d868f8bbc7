"""Real Debian packages for the local vendor service, built with dpkg-deb.

Each package installs /opt/talven/<short name>/VERSION (and, when it carries a payload, a file of
random bytes beside it), so whoever installed it can see on disk that it arrived.
"""

import dataclasses
import os
import shlex
import subprocess

from package_builds import MAINTAINER, Builds, description, run, stage_files, write_file


@dataclasses.dataclass(frozen=True)
class DebRecipe:
    name: str                     # the Debian package name; detection looks for it
    version: str
    short: str                    # its folder under /opt/talven
    summary: str
    depends: tuple = ()
    postinst_error: str = ""      # when set, the postinst prints it on stderr and exits 1
    payload_bytes: int = 0

    arch = "all"                  # not a field: every one runs anywhere

    @property
    def file(self):
        return f"{self.name}_{self.version}_{self.arch}.deb"


def control_text(recipe):
    lines = [
        f"Package: {recipe.name}",
        f"Version: {recipe.version}",
        f"Architecture: {recipe.arch}",
        f"Maintainer: {MAINTAINER}",
        "Section: misc",
        "Priority: optional",
    ]
    if recipe.depends:
        lines.append("Depends: " + ", ".join(recipe.depends))
    lines += [
        f"Description: {recipe.summary}",
        *(" " + line for line in description(recipe).splitlines()),
    ]
    return "\n".join(lines) + "\n"


def failing_postinst(message):
    return f"#!/bin/sh\necho {shlex.quote(message)} >&2\nexit 1\n"


def stage(recipe, root):
    """Lays out the package's tree under `root`, as dpkg-deb --build reads it."""
    control = os.path.join(root, "DEBIAN")
    os.makedirs(control, mode=0o755)
    stage_files(recipe, root)
    write_file(os.path.join(control, "control"), control_text(recipe))
    if recipe.postinst_error:
        script = failing_postinst(recipe.postinst_error)
        write_file(os.path.join(control, "postinst"), script, 0o755)


def build_command(recipe, root, out):
    # Random payloads do not shrink, so compressing them would only cost start-up time.
    compression = ["-Znone"] if recipe.payload_bytes else ["-Zgzip", "-z1"]
    return ["dpkg-deb", "--root-owner-group", "--build", *compression, root, out]


def build(recipes, staging, folder):
    """Stages and builds the one package of `recipes` into `folder`; {its name: its path}."""
    [recipe] = recipes
    root = os.path.join(staging, recipe.name)
    stage(recipe, root)
    out = os.path.join(folder, recipe.file)
    run(build_command(recipe, root, out))
    return {recipe.name: out}


def builds(recipes, folder):
    """Builds every recipe into `folder` in the background, each on its own (dpkg-deb builds
    one package at a time)."""
    return Builds(build, [[r] for r in recipes], folder)


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
