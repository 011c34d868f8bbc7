"""The products file: what the packages cannot say about themselves (names, descriptions and
notes in both languages, group, desktop entry, processes), held to the catalog's rules."""
import json, re

from publishing.refused import Refused

ID = re.compile(r"^[a-z0-9.-]{1,100}$")
# Package names as dpkg and rpm allow them.
NAMES = {"deb": re.compile(r"^[a-z0-9][a-z0-9+.-]+$"),
         "rpm": re.compile(r"^[A-Za-z0-9][A-Za-z0-9._+-]{0,199}$")}
TEXTS = ("name", "description", "notes")


def read_products(path):
    try:
        with open(path, encoding="utf-8") as f:
            products = json.load(f).get("products")
    except (OSError, ValueError, AttributeError) as error:
        raise Refused(f"{path}: not a products file ({error})")
    if not isinstance(products, list) or not products:
        raise Refused(f"{path}: no \"products\" list")
    seen = set()
    for n, product in enumerate(products, 1):
        where = f"product {n} ({product.get('id')!r})" if isinstance(product, dict) else f"product {n}"
        if not isinstance(product, dict) or not ID.match(str(product.get("id", ""))):
            raise Refused(f"{where}: \"id\" must be 1-100 of a-z, 0-9, . and -")
        if product["id"] in seen:
            raise Refused(f"{where}: the id is already used")
        seen.add(product["id"])
        if product.get("group") not in ("app", "addin"):
            raise Refused(f"{where}: \"group\" must be \"app\" or \"addin\"")
        for key in TEXTS:
            text = product.get(key)
            if text is None and key == "notes":
                continue
            for lang in ("en", "ar"):
                if not isinstance(text, dict) or not str(text.get(lang, "")).strip():
                    raise Refused(f"{where}: \"{key}\" has no {lang} text")
        if not any(kind in product for kind in NAMES):
            raise Refused(f"{where}: names no \"deb\" or \"rpm\" package")
        for kind, rule in NAMES.items():
            given = product.get(kind, {"package": "ok"})
            if not isinstance(given, dict) or not rule.match(str(given.get("package", ""))):
                raise Refused(f"{where}: \"{kind}\".\"package\" must name its package")
    return products
