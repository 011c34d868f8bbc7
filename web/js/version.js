// Version order and the state of a product. Each package kind has the rule
// its native backend uses, so that the page and the native installed check
// never disagree about whether an update is due: installer packages ("pkg")
// order by the numeric rule below, Debian packages ("deb") as dpkg orders them.

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

// Negative when `a` orders before `b`, zero when equal, positive after, by
// the rule of package kind `kind` ("pkg" unless it is "deb").
export function compareVersions(a, b, kind = 'pkg') {
  return kind === 'deb' ? compareDebVersions(a, b) : comparePkgVersions(a, b);
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
