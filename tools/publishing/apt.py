"""A flat apt repository of the release's files, signed with the vendor's OpenPGP key, for fleets
that keep the products up to date with apt."""
import os, subprocess

from publishing.packages import copy_into


def apt_repository(out, folder, products, gpg_key):
    apt = os.path.join(out, "apt")
    copy_into(apt, folder, products)
    with open(os.path.join(apt, "Packages"), "w") as f:
        subprocess.run(["apt-ftparchive", "packages", "."], cwd=apt, stdout=f, check=True)
    with open(os.path.join(apt, "Release"), "w") as f:
        subprocess.run(["apt-ftparchive", "-o", "APT::FTPArchive::Release::Origin=TALVEN",
                        "release", "."], cwd=apt, stdout=f, check=True)
    gpg = ["gpg", "--batch", "--yes", "--local-user", gpg_key]
    subprocess.run(gpg + ["--clearsign", "-o", "InRelease", "Release"], cwd=apt, check=True)
    subprocess.run(gpg + ["--detach-sign", "--armor", "-o", "Release.gpg", "Release"], cwd=apt,
                   check=True)
