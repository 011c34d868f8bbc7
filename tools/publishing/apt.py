"""A flat apt repository of the release's files, signed with the vendor's OpenPGP key, for fleets
that keep the products up to date with apt."""
import os, shutil, subprocess


def apt_repository(out, folder, products, gpg_key):
    apt = os.path.join(out, "apt")
    shutil.rmtree(apt, ignore_errors=True)
    os.makedirs(apt)
    for variants_of in products.values():
        for variant in variants_of:
            shutil.copy2(os.path.join(folder, variant["file"]), apt)
    with open(os.path.join(apt, "Packages"), "w") as f:
        subprocess.run(["apt-ftparchive", "packages", "."], cwd=apt, stdout=f, check=True)
    with open(os.path.join(apt, "Release"), "w") as f:
        subprocess.run(["apt-ftparchive", "-o", "APT::FTPArchive::Release::Origin=TALVEN",
                        "release", "."], cwd=apt, stdout=f, check=True)
    gpg = ["gpg", "--batch", "--yes", "--local-user", gpg_key]
    subprocess.run(gpg + ["--clearsign", "-o", "InRelease", "Release"], cwd=apt, check=True)
    subprocess.run(gpg + ["--detach-sign", "--armor", "-o", "Release.gpg", "Release"], cwd=apt,
                   check=True)
