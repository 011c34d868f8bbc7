// Version order and the state of a product. Each package kind has the rule
// its native backend uses, so that the page and the native installed check
// never disagree about whether an update is due: installer packages ("pkg")
// order by the numeric rule below, Debian packages ("deb") as dpkg orders them,
// RPM packages ("rpm") as rpm does.

const isDigit = (code) => code >= 48 && code <= 57;

function digitRunEnd(text, from) {
  let end = from;
  while (end < text.length && isDigit(text.charCodeAt(end))) end++;
  return end;
}

// By value without converting to a number, so a run longer than any number
// type still orders correctly: without leading zeros the longer run is larger,
// equal lengths compare digit by digit.
function compareDigitRuns(a, b) {
  const left = a.replace(/^0+/, '');
  const right = b.replace(/^0+/, '');
  if (left.length !== right.length) return left.length < right.length ? -1 : 1;
  return left < right ? -1 : left > right ? 1 : 0;
}

// The digit runs that start at x[i] and y[j] (either may be empty): their
// order, and where each ends.
function digitRunsAt(x, i, y, j) {
  const iEnd = digitRunEnd(x, i);
  const jEnd = digitRunEnd(y, j);
  return { order: compareDigitRuns(x.slice(i, iEnd), y.slice(j, jEnd)), iEnd, jEnd };
}

// Negative when `a` orders before `b`, zero when equal, positive after. Runs
// of digits compare by value ("1.10" after "1.9"; "01" equals "1" and the
// comparison goes on after them); other characters one by one in code point
// order, which is the native side's UTF-8 byte order; a string that is a
// prefix of the other orders first ("2.0" before "2.0.0").
function comparePkgVersions(a, b) {
  const x = String(a);
  const y = String(b);
  let i = 0;
  let j = 0;
  while (i < x.length && j < y.length) {
    if (isDigit(x.charCodeAt(i)) && isDigit(y.charCodeAt(j))) {
      const run = digitRunsAt(x, i, y, j);
      if (run.order !== 0) return run.order;
      ({ iEnd: i, jEnd: j } = run);
      continue;
    }
    // Code points, not UTF-16 units: a character beyond the BMP must order
    // after U+E000–U+FFFF as its UTF-8 bytes do on the native side.
    const left = x.codePointAt(i);
    const right = y.codePointAt(j);
    if (left !== right) return left < right ? -1 : 1;
    const width = left > 0xffff ? 2 : 1;
    i += width;
    j += width;
  }
  const xDone = i >= x.length;
  const yDone = j >= y.length;
  if (xDone && yDone) return 0;
  return xDone ? -1 : 1;
}

// dpkg's weight of one character in a non-digit run: "~" before everything,
// even the end of the text; then the end (and a digit, which ends the run);
// then letters; then every other character.
function debWeight(text, at) {
  if (at >= text.length) return 0;
  const code = text.charCodeAt(at);
  if (isDigit(code)) return 0;
  if (code === 126) return -1;
  if ((code >= 65 && code <= 90) || (code >= 97 && code <= 122)) return code;
  return code + 256;
}

// One part (upstream version or revision): alternating non-digit runs, by
// weight, and digit runs, by value.
function compareDebParts(x, y) {
  let i = 0;
  let j = 0;
  while (i < x.length || j < y.length) {
    while ((i < x.length && !isDigit(x.charCodeAt(i))) || (j < y.length && !isDigit(y.charCodeAt(j)))) {
      const left = debWeight(x, i);
      const right = debWeight(y, j);
      if (left !== right) return left < right ? -1 : 1;
      i++;
      j++;
    }
    const run = digitRunsAt(x, i, y, j);
    if (run.order !== 0) return run.order;
    ({ iEnd: i, jEnd: j } = run);
  }
  return 0;
}

// "epoch:upstream-revision": the epoch is the leading digits before a ":"
// (none is 0), the revision follows the last "-" (none orders as "0").
function debParts(text) {
  const epoch = /^(\d+):/.exec(text);
  const rest = epoch ? text.slice(epoch[0].length) : text;
  const dash = rest.lastIndexOf('-');
  return dash > 0 ? [epoch?.[1] ?? '0', rest.slice(0, dash), rest.slice(dash + 1)] : [epoch?.[1] ?? '0', rest, '0'];
}

function compareDebVersions(a, b) {
  const [xEpoch, xUpstream, xRevision] = debParts(String(a));
  const [yEpoch, yUpstream, yRevision] = debParts(String(b));
  return (
    compareDigitRuns(xEpoch, yEpoch) || compareDebParts(xUpstream, yUpstream) || compareDebParts(xRevision, yRevision)
  );
}

const isAsciiLetter = (code) => (code >= 65 && code <= 90) || (code >= 97 && code <= 122);

// rpm's rpmvercmp: runs of digits (by value) or of ASCII letters, anything
// else only separates them; "~" orders before anything, even the end, "^"
// after the end but before anything else; a number is newer than letters.
function rpmvercmp(a, b) {
  if (a === b) return 0;
  const separator = (text, at) => {
    const code = text.charCodeAt(at);
    return at < text.length && !isDigit(code) && !isAsciiLetter(code) && text[at] !== '~' && text[at] !== '^';
  };
  let i = 0;
  let j = 0;
  while (i < a.length || j < b.length) {
    while (separator(a, i)) i++;
    while (separator(b, j)) j++;
    if (a[i] === '~' || b[j] === '~') {
      if (a[i] !== '~') return 1;
      if (b[j] !== '~') return -1;
      i++;
      j++;
      continue;
    }
    if (a[i] === '^' || b[j] === '^') {
      if (i >= a.length) return -1;
      if (j >= b.length) return 1;
      if (a[i] !== '^') return 1;
      if (b[j] !== '^') return -1;
      i++;
      j++;
      continue;
    }
    if (i >= a.length || j >= b.length) break;
    const numeric = isDigit(a.charCodeAt(i));
    const inRun = numeric ? isDigit : isAsciiLetter;
    let endA = i;
    while (endA < a.length && inRun(a.charCodeAt(endA))) endA++;
    let endB = j;
    while (endB < b.length && inRun(b.charCodeAt(endB))) endB++;
    if (endB === j) return numeric ? 1 : -1;
    const x = a.slice(i, endA);
    const y = b.slice(j, endB);
    const order = numeric ? compareDigitRuns(x, y) : x < y ? -1 : x > y ? 1 : 0;
    if (order !== 0) return order;
    i = endA;
    j = endB;
  }
  if (i >= a.length && j >= b.length) return 0;
  return i >= a.length ? -1 : 1;
}

// "[epoch:]version[-release]" as librpm reads it: the epoch is the leading
// digits before a ":" (none is 0), the release follows the last "-" (none
// orders before any release).
function rpmParts(text) {
  const epoch = /^(\d*):/.exec(text);
  const rest = epoch ? text.slice(epoch[0].length) : text;
  const dash = rest.lastIndexOf('-');
  const version = dash >= 0 ? rest.slice(0, dash) : rest;
  return [epoch?.[1] || '0', version, dash >= 0 ? rest.slice(dash + 1) : ''];
}

function compareRpmVersions(a, b) {
  const [xEpoch, xVersion, xRelease] = rpmParts(String(a));
  const [yEpoch, yVersion, yRelease] = rpmParts(String(b));
  return rpmvercmp(xEpoch, yEpoch) || rpmvercmp(xVersion, yVersion) || rpmvercmp(xRelease, yRelease);
}

const ORDERS = { deb: compareDebVersions, rpm: compareRpmVersions };

// Negative when `a` orders before `b`, zero when equal, positive after, by
// the rule of package kind `kind` ("pkg" unless it is "deb" or "rpm").
export function compareVersions(a, b, kind = 'pkg') {
  return (ORDERS[kind] ?? comparePkgVersions)(a, b);
}

export const STATES = Object.freeze({
  missing: 'missing', // no installed version found
  update: 'update', // installed, older than the catalog's
  current: 'current', // installed, the catalog's version or newer
});

// `installed` is the version the scan found, or null/undefined when none. An
// empty string is a version (a bundle that names none), and orders first.
export function productState(installed, available, kind = 'pkg') {
  if (typeof installed !== 'string') return STATES.missing;
  return compareVersions(installed, available, kind) < 0 ? STATES.update : STATES.current;
}

export function isInstallable(state) {
  return state === STATES.missing || state === STATES.update;
}
