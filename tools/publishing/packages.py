"""The packages of a release folder, each read by its own kind's tool (dpkg-deb, rpm): each
product's variants of a kind, one per architecture, with the file's size and SHA-256 digest."""
import hashlib, os, shutil, subprocess, tempfile

from publishing.refused import Refused

# What each kind of package is called, and the architecture word for a package that runs on every
# machine (listed after the ones built for one).
KINDS = {
    "deb": {"what": "Debian package", "every": "all"},
    "rpm": {"what": "RPM package", "every": "noarch"},
}


def fields(kind, path):
    """The package's own name, version and architecture; an RPM's version as its database gives
    an installed one, "[epoch:]version-release"."""
    if kind == "deb":
        command = ["dpkg-deb", "--show", "--showformat", "${Package}\t${Version}\t${Architecture}",
                   path]
        shown = subprocess.run(command, capture_output=True, text=True)
    else:
        # A database of its own: reading a file must not make or touch the vendor's.
        with tempfile.TemporaryDirectory() as database:
            command = ["rpm", "--dbpath", database, "-qp", "--queryformat",
                       "%{NAME}\t%{EPOCH}\t%{VERSION}-%{RELEASE}\t%{ARCH}", path]
            shown = subprocess.run(command, capture_output=True, text=True)
    if shown.returncode != 0:
        raise Refused(f"{os.path.basename(path)}: not a {KINDS[kind]['what']} {command[0]} can read")
    if kind == "deb":
        return shown.stdout.split("\t")
    name, epoch, version, arch = shown.stdout.split("\t")
    return name, version if epoch == "(none)" else f"{epoch}:{version}", arch


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def variants(products, folder, base_url, kind):
    """The `kind` variants of each product that has that kind, by id, from the files in
    `folder`."""
    files = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith("." + kind):
            package, version, arch = fields(kind, os.path.join(folder, name))
            files.setdefault(package, []).append((name, version, arch))
    claimed = {p[kind]["package"] for p in products if kind in p}
    stray = sorted(set(files) - claimed)
    if stray:
        raise Refused(f"{folder}: no product names the package {stray[0]} ({files[stray[0]][0][0]})")
    out = {}
    for product in (p for p in products if kind in p):
        wanted = product[kind]
        found = files.get(wanted["package"])
        if not found:
            raise Refused(f"product {product['id']!r}: no .{kind} of package {wanted['package']} "
                          f"in {folder}")
        by_arch = {}
        for name, version, arch in found:
            if arch in by_arch:
                raise Refused(f"product {product['id']!r}: two packages for {arch}: "
                              f"{by_arch[arch][0]} and {name}")
            by_arch[arch] = (name, version)
        listed = []
        every = KINDS[kind]["every"]
        for arch, (name, version) in sorted(by_arch.items(), key=lambda a: a[0] == every):
            path = os.path.join(folder, name)
            detect = {"receipts": [wanted["package"]]}
            if wanted.get("desktop"):
                detect["desktop"] = wanted["desktop"]
            variant = {"arch": arch, "version": version, "url": base_url + name, "file": name,
                       "sha256": sha256(path), "size": os.path.getsize(path), "detect": detect}
            if wanted.get("processes"):
                variant["processes"] = wanted["processes"]
            listed.append(variant)
        out[product["id"]] = listed
    return out


def copy_into(target, folder, products):
    """A fresh folder `target` holding the file of every variant of `products` (by id)."""
    shutil.rmtree(target, ignore_errors=True)
    os.makedirs(target)
    for listed in products.values():
        for variant in listed:
            shutil.copy2(os.path.join(folder, variant["file"]), target)
