"""A dnf (and zypper) repository of the release's RPM files: createrepo_c's metadata, with its
repomd.xml signed by the vendor's OpenPGP key for repo_gpgcheck, and the key beside it."""
import os, subprocess

from publishing.packages import copy_into


def dnf_repository(out, folder, products, gpg_key):
    rpm = os.path.join(out, "rpm")
    copy_into(rpm, folder, products)
    subprocess.run(["createrepo_c", "--quiet", rpm], check=True)
    repomd = os.path.join(rpm, "repodata", "repomd.xml")
    gpg = ["gpg", "--batch", "--yes", "--local-user", gpg_key]
    subprocess.run(gpg + ["--detach-sign", "--armor", "-o", repomd + ".asc", repomd], check=True)
    # Where zypper looks for the key of a signed repository.
    with open(repomd + ".key", "w") as f:
        subprocess.run(["gpg", "--batch", "--armor", "--export", gpg_key], stdout=f, check=True)
