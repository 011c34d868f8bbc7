"""A dnf (and zypper) repository of the release's RPM files: createrepo_c's metadata, with its
repomd.xml signed by the vendor's OpenPGP key for repo_gpgcheck, and the key beside it."""
import os, shutil, subprocess


def dnf_repository(out, folder, products, gpg_key):
    rpm = os.path.join(out, "rpm")
    shutil.rmtree(rpm, ignore_errors=True)
    os.makedirs(rpm)
    for variants_of in products.values():
        for variant in variants_of:
            shutil.copy2(os.path.join(folder, variant["file"]), rpm)
    subprocess.run(["createrepo_c", "--quiet", rpm], check=True)
    repomd = os.path.join(rpm, "repodata", "repomd.xml")
    gpg = ["gpg", "--batch", "--yes", "--local-user", gpg_key]
    subprocess.run(gpg + ["--detach-sign", "--armor", "-o", repomd + ".asc", repomd], check=True)
    # Where zypper looks for the key of a signed repository.
    with open(repomd + ".key", "w") as f:
        subprocess.run(["gpg", "--batch", "--armor", "--export", gpg_key], stdout=f, check=True)
