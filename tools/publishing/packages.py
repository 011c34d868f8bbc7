"""The Debian packages of a release folder, read with dpkg-deb: each product's variants, one per
architecture, with the file's size and SHA-256 digest."""
import hashlib, os, subprocess

from publishing.refused import Refused


def deb_fields(path):
    shown = subprocess.run(["dpkg-deb", "--show", "--showformat",
                            "${Package}\t${Version}\t${Architecture}", path],
                           capture_output=True, text=True)
    if shown.returncode != 0:
        raise Refused(f"{os.path.basename(path)}: not a Debian package dpkg-deb can read")
    return shown.stdout.split("\t")


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def variants(products, folder, base_url):
    """The deb variants of each product, by id, from the files in `folder`."""
    files = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".deb"):
            package, version, arch = deb_fields(os.path.join(folder, name))
            files.setdefault(package, []).append((name, version, arch))
    claimed = {p["deb"]["package"] for p in products}
    stray = sorted(set(files) - claimed)
    if stray:
        raise Refused(f"{folder}: no product names the package {stray[0]} ({files[stray[0]][0][0]})")
    out = {}
    for product in products:
        deb = product["deb"]
        found = files.get(deb["package"])
        if not found:
            raise Refused(f"product {product['id']!r}: no .deb of package {deb['package']} in {folder}")
        by_arch = {}
        for name, version, arch in found:
            if arch in by_arch:
                raise Refused(f"product {product['id']!r}: two packages for {arch}: "
                              f"{by_arch[arch][0]} and {name}")
            by_arch[arch] = (name, version)
        listed = []
        for arch, (name, version) in sorted(by_arch.items(), key=lambda a: a[0] == "all"):
            path = os.path.join(folder, name)
            detect = {"receipts": [deb["package"]]}
            if deb.get("desktop"):
                detect["desktop"] = deb["desktop"]
            variant = {"arch": arch, "version": version, "url": base_url + name, "file": name,
                       "sha256": sha256(path), "size": os.path.getsize(path), "detect": detect}
            if deb.get("processes"):
                variant["processes"] = deb["processes"]
            listed.append(variant)
        out[product["id"]] = listed
    return out
