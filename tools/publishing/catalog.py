"""The catalog document: dated, written, signed with tools/sign-catalog and read back as the
program reads it (the signature, then the page's own rules with node)."""
import datetime, json, os, subprocess

from publishing.refused import Refused

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPO = os.path.dirname(TOOLS)


def utc(moment):
    return moment.strftime("%Y-%m-%dT%H:%M:%SZ")


def write_signed(path, document, key, vendor_host):
    """Writes the catalog and its signature, once both read as the program reads them; until
    then they stay beside it under another name, and a refusal leaves what was there."""
    part = path + ".part"
    with open(part, "w", encoding="utf-8") as f:
        f.write(json.dumps(document, ensure_ascii=False, indent=2) + "\n")
    try:
        sign = os.path.join(TOOLS, "sign-catalog")
        subprocess.run([sign, "sign", key, part], check=True)
        public = subprocess.run([sign, "public", key], check=True, capture_output=True,
                                text=True).stdout.strip()
        if subprocess.run([sign, "verify", public, part], capture_output=True).returncode != 0:
            raise Refused(f"{path}: its signature does not verify")
        check_rules(part, document, vendor_host)
        # The document first: a reader that finds a new signature beside an old document refuses
        # the pair, never takes a changed document on an old signature.
        os.replace(part, path)
        os.replace(part + ".sig", path + ".sig")
    finally:
        for left in (part, part + ".sig"):
            if os.path.exists(left):
                os.remove(left)


def check_rules(path, document, host):
    """Reads the catalog with the page's own rules: every product and package must be taken."""
    script = ("import { parseCatalog } from " + json.dumps("file://" + REPO + "/web/js/catalog.js") +
              "; import { readFileSync } from 'node:fs'; const r = parseCatalog(readFileSync(" +
              json.dumps(path) + ", 'utf8'), " + json.dumps(host) + ");"
              " console.log(JSON.stringify({ ok: r.ok, count: r.products.length, problems: r.problems }));")
    ran = subprocess.run(["node", "--input-type=module", "-e", script], capture_output=True, text=True)
    if ran.returncode != 0:
        raise Refused(f"{path.removesuffix('.part')}: the page's rules could not be run "
                      f"({ran.stderr.strip()})")
    read = json.loads(ran.stdout)
    if not read["ok"] or read["count"] != len(document["products"]) or read["problems"]:
        raise Refused(f"{path.removesuffix('.part')}: the program would not take it whole: " +
                      "; ".join(read["problems"] or ["no product could be read"]))


def dated(document, days):
    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    return {"version": 1, "generated": utc(now), "expires": utc(now + datetime.timedelta(days=days)),
            **{k: v for k, v in document.items() if k not in ("version", "generated", "expires")}}
