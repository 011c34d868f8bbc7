"""What the local vendor service's Debian and RPM package builds share: the tree every package
installs, the files in it, running the build tools, and building side by side in the background.
"""

import concurrent.futures
import os
import shutil
import subprocess
import tempfile

MAINTAINER = "TALVEN test packages <packages@brenlow.example>"
INSTALL_ROOT = os.path.join("opt", "talven")
RANDOM_PIECE = 1 << 30


def description(recipe):
    """The long description, the same in both kinds: where to look for what the package did."""
    return ("A test package from the local vendor service of TALVEN Suite. It installs\n"
            f"/{INSTALL_ROOT}/{recipe.short}/VERSION and nothing else of note.")


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
    return result


def stage_files(recipe, root):
    """Writes what the package installs, /opt/talven/<short>/..., under `root`."""
    target = os.path.join(root, INSTALL_ROOT, recipe.short)
    os.makedirs(target, mode=0o755)
    for folder, _, _ in os.walk(root):
        os.chmod(folder, 0o755)
    write_file(os.path.join(target, "VERSION"), recipe.version + "\n")
    if recipe.payload_bytes:
        write_random(os.path.join(target, "payload.bin"), recipe.payload_bytes)


class Builds:
    """Builds packages into `folder` in the background; finish() waits for them.

    build(recipes, staging, folder) builds one group of recipes, staging in the empty folder
    `staging`, and returns {package name: path of its package}. The groups build side by side
    and beside whatever the caller does in the meantime (the tools do the work, so threads
    suffice), which keeps the service's start-up short.
    """

    def __init__(self, build, groups, folder):
        self.staging = tempfile.mkdtemp(prefix=".staging.", dir=folder)
        self.pool = concurrent.futures.ThreadPoolExecutor(max_workers=max(1, len(groups)))
        self.jobs = []
        for n, group in enumerate(groups):
            staging = os.path.join(self.staging, str(n))
            os.mkdir(staging)
            self.jobs.append(self.pool.submit(build, group, staging, folder))

    def finish(self):
        """{package name: path of its package}, once every build is done; raises when one
        failed."""
        try:
            return {name: path for job in self.jobs for name, path in job.result().items()}
        finally:
            self.pool.shutdown()
            shutil.rmtree(self.staging, ignore_errors=True)
