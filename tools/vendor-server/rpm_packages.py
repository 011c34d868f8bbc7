"""Real RPM packages for the local vendor service, built with rpmbuild, and a local repository.

Like the Debian ones, each package installs /opt/talven/<short name>/VERSION (and, when it carries
a payload, a file of random bytes beside it). The repository is what dnf or zypper would find in
a configured repository: packages the catalog does not offer but its packages may require.
"""

import dataclasses
import os
import shlex
import subprocess

from package_builds import (INSTALL_ROOT, MAINTAINER, Builds, description, run, stage_files,
                            write_file)

# rpmbuild's settings for these builds. Every folder it writes to is under the build's own top
# folder or the service's, never ~/rpmbuild or /var/tmp, and the build database is not read. The
# packages hold no programs, so the steps that strip, compress or split them would only cost
# time, as would compressing payloads of random bytes.
QUIET_BUILD = {
    "_binary_payload": "w0.ufdio",
    "__os_install_post": "%{nil}",
    "debug_package": "%{nil}",
    "_build_id_links": "none",
    "_rpmfilename": "%%{NAME}-%%{VERSION}-%%{RELEASE}.%%{ARCH}.rpm",
}
LICENSE = ["License: LicenseRef-TALVEN-test", "URL: https://www.brenlow.example/",
           f"Packager: {MAINTAINER}"]


@dataclasses.dataclass(frozen=True)
class RpmRecipe:
    name: str                     # the RPM package name; detection looks for it
    version: str
    short: str                    # its folder under /opt/talven
    summary: str
    arch: str = "noarch"
    release: str = "1"
    requires: tuple = ()
    conflicts: tuple = ()
    post_error: str = ""          # when set, %post prints it on stderr and exits 1
    payload_bytes: int = 0

    @property
    def evr(self):
        """The version as rpm writes it and the catalog carries it."""
        return f"{self.version}-{self.release}"

    @property
    def file(self):
        return f"{self.name}-{self.evr}.{self.arch}.rpm"


def native_arch():
    """rpm's name of this machine's architecture ("x86_64", "aarch64")."""
    return run(["rpm", "--eval", "%{_arch}"], subprocess.PIPE).stdout.strip()


def build_file_text(recipes, tree):
    """One rpmbuild file that builds every recipe as a package of its own. Each rpmbuild run costs far
    more than packing a few files, so one run for all of them keeps the start-up short; the
    file's main package has no files and is not built. %install links in the files staged under
    `tree`, so nothing is copied."""
    lines = [
        "Name: talven-vendor-test-packages", "Version: 0", "Release: 0",
        "Summary: The local vendor service's RPM packages", *LICENSE,
        "", "%description", "Not a package: the packages below are.",
        "", "%install", f"cp -al {tree}/. %{{buildroot}}/",
    ]
    for r in recipes:
        lines += [
            "", f"%package -n {r.name}", f"Version: {r.version}", f"Release: {r.release}",
            # A package of the build's own architecture takes the main package's; subpackages
            # may only differ by being noarch.
            f"Summary: {r.summary}", *(["BuildArch: noarch"] if r.arch == "noarch" else []),
            *(f"Requires: {name}" for name in r.requires),
            *(f"Conflicts: {name}" for name in r.conflicts),
            "", f"%description -n {r.name}", description(r),
            "", f"%files -n {r.name}", "%defattr(-,root,root,-)", f"%dir /{INSTALL_ROOT}",
            f"/{INSTALL_ROOT}/{r.short}",
        ]
        if r.post_error:
            # A shell scriptlet, as a vendor writes it: the package requires /bin/sh for it,
            # which an RPM system's shell package provides. rpm reports its failure by exit
            # status ("%post(...) scriptlet failed, exit status 1"), which the tools relay.
            lines += ["", f"%post -n {r.name}", f"echo {shlex.quote(r.post_error)} >&2", "exit 1"]
    return "\n".join(lines) + "\n"


def build(recipes, staging, folder):
    """Stages and builds every package of `recipes` into `folder`; {name: path of its .rpm}."""
    # rpmbuild runs its scripts in a folder of its own, where relative paths would lead elsewhere.
    staging, folder = os.path.abspath(staging), os.path.abspath(folder)
    tree = os.path.join(staging, "tree")
    for recipe in recipes:
        stage_files(recipe, tree)
    build_file = os.path.join(staging, "packages.spec")
    write_file(build_file, build_file_text(recipes, tree))
    settings = dict(QUIET_BUILD, _topdir=staging, _tmppath=staging, _rpmdir=folder)
    defines = [arg for key, value in settings.items() for arg in ("--define", f"{key} {value}")]
    run(["rpmbuild", "-bb", "--quiet", "--nodeps", *defines, build_file])
    return {r.name: os.path.join(folder, r.file) for r in recipes}


def builds(recipes, folder):
    """Builds every recipe into `folder` in the background (package_builds.Builds)."""
    return Builds(build, [recipes], folder)


def make_repository(folder, paths):
    """Moves the packages at `paths` into `folder` and writes the metadata that makes it a
    repository dnf and zypper read."""
    for path in paths:
        os.replace(path, os.path.join(folder, os.path.basename(path)))
    run(["createrepo_c", "--quiet", "--no-database", folder])


# What fields() reads, a line each.
QUERY = {
    "name": "%{NAME}",
    "version": "%|EPOCH?{%{EPOCH}:}|%{VERSION}-%{RELEASE}",
    "arch": "%{ARCH}",
}


def fields(path):
    """{name, version ([EPOCH:]VERSION-RELEASE), arch} of the package at `path`, as rpm reads
    them. Neither signatures nor digests are checked: that opens rpm's database for its keys,
    which Debian's rpm keeps in the home folder and would create there."""
    query = "\n".join(QUERY.values()) + "\n"
    result = subprocess.run(["rpm", "-qp", "--nosignature", "--nodigest", "--qf", query, path],
                            capture_output=True, text=True)
    lines = result.stdout.split("\n")
    if result.returncode != 0 or len(lines) <= len(QUERY):
        raise RuntimeError(f"{path} is not an RPM package: {result.stderr.strip()}")
    return dict(zip(QUERY, lines))
