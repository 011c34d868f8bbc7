// Reading the catalog document (its format is described in
// docs/catalog-format.md). The native side only carries the text; every rule
// about what a product must look like is enforced here, before an item can
// reach a scan, a download or the administrator prompt.
//
// One bad product never costs the others: it is left out with a reason, and
// the rest of the document is used. Likewise one bad package of a product: the
// product stays, and is unavailable on hosts that install that kind.

import { isObject } from './rules.js';

export const FORMAT_VERSION = 1;
export const GROUPS = Object.freeze(['app', 'addin']);

// What a host installs: macOS installer packages, Debian packages or RPM
// packages.
export const PACKAGE_KINDS = Object.freeze(['pkg', 'deb', 'rpm']);

// The members the native side reads from a catalog item; everything else on a
// product is the page's own.
export const ITEM_KEYS = Object.freeze([
  'id',
  'group',
  'detect',
  'version',
  'url',
  'file',
  'sha256',
  'size',
  'self',
  'mirrors',
  'processes',
]);

// More products than any catalog needs; the entries after these are not read,
// so a document of millions costs no more than this many.
export const MAX_PRODUCTS = 20_000;

const ID = /^[a-z0-9.-]{1,100}$/;
const SHA256 = /^[0-9a-fA-F]{64}$/;
// A bare name: nothing that walks folders, no control characters, a package
// of the kind.
/* eslint-disable no-control-regex -- refusing control characters is the point */
const PACKAGE_FILE = {
  pkg: /^[^/\\\u0000-\u001f\u007f]+\.pkg$/i,
  deb: /^[^/\\\u0000-\u001f\u007f]+\.deb$/i,
  rpm: /^[^/\\\u0000-\u001f\u007f]+\.rpm$/i,
};
const APP_BUNDLE = /^[^/\\\u0000-\u001f\u007f]+\.app$/;
/* eslint-enable no-control-regex */
const RECEIPT = /^[^\s/\\]+$/;
// A desktop file id ("com.brenlow.Presenter.desktop"): what opens an installed
// Linux product. The native side holds the same rule.
const DESKTOP_ID = /^[A-Za-z0-9_][A-Za-z0-9_.-]{0,246}\.desktop$/;

// A Linux package may name its product's executables, absolute paths as the
// kernel names a running process's: while one runs, the product is open, and
// the install waits for the user. Bounded, so the native side's look at the
// process table stays cheap; it holds the same rules.
const MAX_PROCESSES = 16;
const MAX_PROCESS_PATH_BYTES = 4095;
/* eslint-disable no-control-regex -- refusing control characters is the point */
const PROCESS_PATH = /^(?:\/(?!\.\.?(?:\/|$))[^/\u0000-\u001f\u007f]+)+$/;
/* eslint-enable no-control-regex */
const utf8 = new TextEncoder();

function processList(value) {
  if (value === undefined) return [];
  if (!Array.isArray(value) || value.length > MAX_PROCESSES) {
    reject(`must be a list of at most ${MAX_PROCESSES} absolute paths`);
  }
  for (const path of value) {
    if (typeof path !== 'string' || !PROCESS_PATH.test(path) || utf8.encode(path).length > MAX_PROCESS_PATH_BYTES) {
      reject(`must be absolute paths of at most ${MAX_PROCESS_PATH_BYTES} bytes: ${JSON.stringify(path)}`);
    }
  }
  return [...value];
}

// The kinds of a Linux package system. Each builds a package per machine
// architecture, finds it installed by package name in its own database, and
// names all of these its own way; the native side holds the same rules.
const LINUX_KINDS = Object.freeze({
  deb: {
    // dpkg's names ("amd64", "arm64", "armhf"), and "all" for a package
    // that runs on every one.
    arch: /^[a-z0-9][a-z0-9-]*$/,
    everyArch: 'all',
    archRule: 'a dpkg architecture name or "all"',
    name: /^[a-z0-9][a-z0-9+.-]+$/,
    names: 'Debian package names',
    one: 'a Debian package',
  },
  rpm: {
    // rpm's names ("x86_64", "aarch64", "ppc64le"), and "noarch".
    arch: /^[a-z0-9][a-z0-9_]*$/,
    everyArch: 'noarch',
    archRule: 'an rpm architecture name or "noarch"',
    name: /^[A-Za-z0-9][A-Za-z0-9._+-]{0,199}$/,
    names: 'RPM package names',
    one: 'an RPM package',
    // As the RPM database gives an installed one, "[epoch:]version-release":
    // a version without its release would never equal the installed one, and
    // the product would be offered again after every install.
    version: /^(?:\d+:)?[A-Za-z0-9._+~^]+-[A-Za-z0-9._+~^]+$/,
    versionRule: 'an RPM version, "[epoch:]version-release"',
  },
});
const linuxKind = (kind) => (Object.hasOwn(LINUX_KINDS, kind) ? LINUX_KINDS[kind] : null);

// Whether `value` names a machine the way packages of `kind` name their
// architecture ("init" says which machine this is).
export function isArchOf(kind, value) {
  return typeof value === 'string' && linuxKind(kind)?.arch.test(value) === true;
}

function isText(value) {
  return typeof value === 'string' && value.trim() !== '';
}

// `vendorHost` comes from the native side ("init"), which downloads only from
// there too; without one, no address is the vendor's.
export function isVendorHost(hostname, vendorHost) {
  const host = String(hostname).toLowerCase();
  const vendor = String(vendorHost ?? '').toLowerCase();
  return vendor !== '' && (host === vendor || host.endsWith(`.${vendor}`));
}

// A product that fails a rule throws this; the message becomes its reason.
class Rejected extends Error {}
const reject = (reason) => {
  throw new Rejected(reason);
};

function localized(value, key) {
  if (!isObject(value)) reject(`"${key}" must be an object with "en" and "ar" texts`);
  for (const lang of ['en', 'ar']) {
    if (!isText(value[lang])) reject(`"${key}.${lang}" must be a non-empty text`);
  }
  return { en: value.en, ar: value.ar };
}

// Normalised to the address the URL parser understands, so the native side
// parses exactly what was checked here (no "\" or odd case slipping past one
// parser and not the other).
function packageUrl(value, vendorHost) {
  if (typeof value !== 'string') reject('"url" must be a text');
  let url;
  try {
    url = new URL(value);
  } catch {
    reject(`"url" is not an address: ${value}`);
  }
  if (url.protocol !== 'https:') reject(`"url" must use https: ${value}`);
  if (url.username || url.password) reject(`"url" must not carry a user name or password: ${value}`);
  if (!isVendorHost(url.hostname, vendorHost)) reject(`"url" must be on ${vendorHost}: ${value}`);
  return url.href;
}

// Further addresses of the same file, each held to the rule of the first; one
// that fails it is left out, the package is not. The native side tries a few
// at most, so the rest are not carried.
const MAX_MIRRORS = 4;
function packageMirrors(value, vendorHost) {
  if (value === undefined) return [];
  if (!Array.isArray(value)) reject('"mirrors" must be a list of addresses');
  const mirrors = [];
  for (const entry of value) {
    try {
      mirrors.push(packageUrl(entry, vendorHost));
    } catch (err) {
      if (!(err instanceof Rejected)) throw err;
    }
  }
  return mirrors.slice(0, MAX_MIRRORS);
}

function packageFile(value, kind) {
  if (typeof value !== 'string' || !PACKAGE_FILE[kind].test(value)) {
    reject(`"file" must be a bare file name ending in ".${kind}": ${JSON.stringify(value)}`);
  }
  return value;
}

function nameList(detect, key, pattern, what) {
  const list = detect[key];
  if (list === undefined) return [];
  if (!Array.isArray(list) || !list.every((entry) => typeof entry === 'string' && pattern.test(entry))) {
    reject(`"detect.${key}" must be a list of ${what}`);
  }
  return [...list];
}

// Without any rule the product could never be found installed, and would be
// offered for installation again after every install. Linux packages are
// found by their names in the package database only; application bundles
// mean nothing there.
function detectRules(value, kind) {
  const linux = linuxKind(kind);
  if (linux) {
    if (!isObject(value)) reject('"detect" must be an object with "receipts"');
    const receipts = nameList(value, 'receipts', linux.name, linux.names);
    if (receipts.length === 0) reject(`"detect.receipts" must name ${linux.one}`);
    if (value.desktop === undefined) return { apps: [], receipts };
    if (typeof value.desktop !== 'string' || !DESKTOP_ID.test(value.desktop)) {
      reject('"detect.desktop" must be a desktop file id ending in ".desktop"');
    }
    return { apps: [], receipts, desktop: value.desktop };
  }
  if (!isObject(value)) reject('"detect" must be an object with "apps" or "receipts"');
  const apps = nameList(value, 'apps', APP_BUNDLE, 'application names ending in ".app"');
  const receipts = nameList(value, 'receipts', RECEIPT, 'package identifiers');
  if (apps.length === 0 && receipts.length === 0) reject('"detect" names no application and no receipt');
  return { apps, receipts };
}

// The package of one kind: what to download, how to check it, how to find
// it installed.
function readPackage(raw, kind, vendorHost) {
  if (!isObject(raw)) reject('not an object');
  if (!isText(raw.version)) reject('"version" must be a non-empty text');
  const linux = linuxKind(kind);
  if (linux?.version && !linux.version.test(raw.version)) reject(`"version" must be ${linux.versionRule}`);
  const url = packageUrl(raw.url, vendorHost);
  const file = packageFile(raw.file, kind);
  if (typeof raw.sha256 !== 'string' || !SHA256.test(raw.sha256)) {
    reject('"sha256" must be 64 hexadecimal digits');
  }
  if (!Number.isSafeInteger(raw.size) || raw.size < 0) reject('"size" must be a whole number of bytes');
  // Offered to a machine of another architecture, a Linux package would only
  // fail in the package tool, after its whole download and the password.
  if (linux && !isArchOf(kind, raw.arch)) reject(`"arch" must be ${linux.archRule}`);
  return {
    ...(linux ? { arch: raw.arch } : {}),
    version: raw.version,
    url,
    file,
    sha256: raw.sha256.toLowerCase(),
    size: raw.size,
    mirrors: packageMirrors(raw.mirrors, vendorHost),
    detect: detectRules(raw.detect, kind),
  };
}

// Broken "processes" cost only the check, not the package: it installs as one
// that names none.
function readProcesses(value, name, dropped) {
  try {
    return processList(value);
  } catch (err) {
    if (!(err instanceof Rejected)) throw err;
    dropped(`${name} "processes" dropped: ${err.message}`);
    return [];
  }
}

// A kind's usable packages: a product may list one Linux package per
// architecture (its "variants"), and each broken one is dropped alone. Linux
// packages are kept as that list, in order, even when the catalog gives just
// one.
function readVariants(value, kind, dropped, vendorHost) {
  const linux = linuxKind(kind) !== null;
  const listed = linux && Array.isArray(value);
  const variants = [];
  (listed ? value : [value]).forEach((entry, index) => {
    const name = `package "${kind}"${listed ? ` ${index + 1}` : ''}`;
    try {
      const read = readPackage(entry, kind, vendorHost);
      variants.push(linux ? { ...read, processes: readProcesses(entry.processes, name, dropped) } : read);
    } catch (err) {
      if (!(err instanceof Rejected)) throw err;
      dropped(`${name} dropped: ${err.message}`);
    }
  });
  if (variants.length === 0) return null;
  return linux ? variants : variants[0];
}

// Each kind's package, the broken ones dropped with their reasons. Without a
// "packages" object the product's own members are its installer package, as
// in catalogs published before there was more than one kind.
function readPackages(raw, dropped, vendorHost) {
  if (raw.packages === undefined) return { pkg: readPackage(raw, 'pkg', vendorHost) };
  if (!isObject(raw.packages)) reject('"packages" must be an object of package kinds');
  const packages = {};
  for (const kind of PACKAGE_KINDS) {
    if (raw.packages[kind] === undefined) continue;
    const read = readVariants(raw.packages[kind], kind, dropped, vendorHost);
    if (read) packages[kind] = read;
  }
  if (Object.keys(packages).length === 0) reject('"packages" holds no usable package of a known kind');
  return packages;
}

function readProduct(raw, dropped, vendorHost) {
  if (!isObject(raw)) reject('not an object');
  if (typeof raw.id !== 'string' || !ID.test(raw.id)) {
    reject('"id" must be a text of a-z, 0-9, "." and "-"');
  }
  if (!GROUPS.includes(raw.group)) reject(`"group" must be "app" or "addin"`);
  if (raw.self !== undefined && typeof raw.self !== 'boolean') reject('"self" must be true or false');
  const name = localized(raw.name, 'name');
  const description = localized(raw.description, 'description');
  const notes = raw.notes === undefined ? null : localized(raw.notes, 'notes');

  return {
    id: raw.id,
    group: raw.group,
    self: raw.self === true,
    name,
    description,
    notes,
    packages: readPackages(raw, dropped, vendorHost),
  };
}

// The Linux package for a machine of `arch`: the first built for it or for
// every architecture (in the kind's own word for that: another kind's means
// nothing to its tools). A native side that names none (one from before
// architectures, or the page alone in a browser) has no machine to match, and
// takes the first.
function variantFor(variants, kind, arch) {
  if (arch === '') return variants[0];
  const every = LINUX_KINDS[kind].everyArch;
  return variants.find((variant) => variant.arch === arch || variant.arch === every) ?? null;
}

// The product as a host that installs `kind` on `arch` sees it: the shared
// members and those of its package of that kind, or null when it has none. A
// product is never changed once read, and with thousands of them this is
// asked for after every check, selection and install; so each is put together
// once and shared.
const hostViews = new WeakMap();
// The product's name in the interface language, else in English (which every
// catalog entry has), else its id.
export const productName = (product, lang) => product?.name?.[lang] ?? product?.name?.en ?? product?.id ?? '';

export function productFor(product, kind, arch = '') {
  if (!Object.hasOwn(product.packages, kind)) return null;
  let views = hostViews.get(product);
  if (!views) hostViews.set(product, (views = new Map()));
  const key = `${kind} ${arch}`;
  if (!views.has(key)) {
    const { packages, ...shared } = product;
    const chosen = linuxKind(kind) ? variantFor(packages[kind], kind, arch) : packages[kind];
    views.set(key, chosen && { ...shared, ...chosen });
  }
  return views.get(key);
}

function label(raw, index) {
  const id = isObject(raw) && typeof raw.id === 'string' ? ` (${JSON.stringify(raw.id)})` : '';
  return `product ${index + 1}${id}`;
}

// Installed versions that the bundled demo catalog pretends to find. Only
// products of the same document count; the caller decides whether to use
// them at all (demo mode, sample catalog). A Map by id, like every table of
// the page keyed by product id.
function readDemoInstalled(value, ids, problems) {
  const map = new Map();
  if (value === undefined) return map;
  if (!isObject(value)) {
    problems.push('"demoInstalled" must be an object of product ids and versions; ignored');
    return map;
  }
  for (const [id, version] of Object.entries(value)) {
    if (!ids.has(id) || typeof version !== 'string') {
      problems.push(`"demoInstalled" entry ${JSON.stringify(id)} ignored`);
      continue;
    }
    map.set(id, version);
  }
  return map;
}

const failure = (problem) => ({ ok: false, products: [], problems: [problem], demoInstalled: new Map(), leftOut: 0 });

// → { ok, products, problems, demoInstalled, leftOut }. `ok` is false when the
// document as a whole cannot be used; then `products` is empty. `leftOut`
// counts the entries after the first MAX_PRODUCTS, which are not read. Package
// addresses must be on `vendorHost` or a name under it. A product `shows`
// refuses (the administrator's policy hides it) is left out without a word.
export function parseCatalog(text, vendorHost, shows = () => true) {
  let doc;
  try {
    doc = JSON.parse(text);
  } catch (err) {
    return failure(`the catalog is not JSON (${err.message})`);
  }
  if (!isObject(doc)) return failure('the catalog is not a JSON object');
  // A different format number means a different format; guessing at it could
  // offer the wrong package. A missing number is read as the first format.
  if (doc.version !== undefined && doc.version !== FORMAT_VERSION) {
    return failure(`catalog format ${JSON.stringify(doc.version)} is not supported (expected ${FORMAT_VERSION})`);
  }
  if (!Array.isArray(doc.products)) return failure('the catalog has no "products" list');

  const products = [];
  const problems = [];
  const seen = new Set();
  const leftOut = Math.max(0, doc.products.length - MAX_PRODUCTS);
  if (leftOut > 0) {
    problems.push(
      `the catalog lists ${doc.products.length} products; only the first ${MAX_PRODUCTS} are read, ` +
        `the other ${leftOut} are left out`,
    );
  }
  doc.products.slice(0, MAX_PRODUCTS).forEach((raw, index) => {
    let product;
    try {
      product = readProduct(raw, (reason) => problems.push(`${label(raw, index)} ${reason}`), vendorHost);
    } catch (err) {
      if (!(err instanceof Rejected)) throw err;
      problems.push(`${label(raw, index)} skipped: ${err.message}`);
      return;
    }
    // The native scan answers by id; a second product with the same id would
    // take the first one's installed version.
    if (seen.has(product.id)) {
      problems.push(`${label(raw, index)} skipped: the id is already used by an earlier product`);
      return;
    }
    seen.add(product.id);
    if (shows(product)) products.push(product);
  });

  // Every product broken is a broken catalog, not an empty one: the caller
  // keeps what it showed before instead of showing nothing.
  if (products.length === 0 && doc.products.length > 0) {
    const reason = 'no product in the catalog could be read';
    return { ...failure(reason), problems: [...problems, reason] };
  }

  const demoInstalled = readDemoInstalled(doc.demoInstalled, seen, problems);
  return { ok: true, products, problems, demoInstalled, leftOut };
}

// What "scan" reads of an item. A long catalog's scan goes in one message,
// and without the members only an install reads, ten thousand products were
// drawn a fifth of a second sooner.
export function scanItem(product) {
  return {
    id: product.id,
    group: product.group,
    detect: {
      apps: [...product.detect.apps],
      receipts: [...product.detect.receipts],
      ...(product.detect.desktop === undefined ? {} : { desktop: product.detect.desktop }),
    },
  };
}

// The item handed to the native side for "install" and (its "detect") "open":
// exactly the members it reads, detached from the product as the host sees it
// (see productFor).
export function catalogItem(product) {
  return {
    ...scanItem(product),
    version: product.version,
    url: product.url,
    file: product.file,
    sha256: product.sha256,
    // Bounds the download: the native side stops one that runs well past it.
    size: product.size,
    self: product.self === true,
    ...(product.mirrors?.length ? { mirrors: [...product.mirrors] } : {}),
    ...(product.processes?.length ? { processes: [...product.processes] } : {}),
  };
}
