// Version order and the state of a product. The rule is the native side's, so
// that the page and the native installed check never disagree about whether
// an update is due.

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

// Negative when `a` orders before `b`, zero when equal, positive after. Runs
// of digits compare by value ("1.10" after "1.9"; "01" equals "1" and the
// comparison goes on after them); other characters one by one in code point
// order, which is the native side's UTF-8 byte order; a string that is a
// prefix of the other orders first ("2.0" before "2.0.0").
export function compareVersions(a, b) {
  const x = String(a);
  const y = String(b);
  let i = 0;
  let j = 0;
  while (i < x.length && j < y.length) {
    if (isDigit(x.charCodeAt(i)) && isDigit(y.charCodeAt(j))) {
      const iEnd = digitRunEnd(x, i);
      const jEnd = digitRunEnd(y, j);
      const order = compareDigitRuns(x.slice(i, iEnd), y.slice(j, jEnd));
      if (order !== 0) return order;
      i = iEnd;
      j = jEnd;
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

export const STATES = Object.freeze({
  missing: 'missing',   // no installed version found
  update: 'update',     // installed, older than the catalog's
  current: 'current',   // installed, the catalog's version or newer
});

// `installed` is the version the scan found, or null/undefined when none. An
// empty string is a version (a bundle that names none), and orders first.
export function productState(installed, available) {
  if (typeof installed !== 'string') return STATES.missing;
  return compareVersions(installed, available) < 0 ? STATES.update : STATES.current;
}

export function isInstallable(state) {
  return state === STATES.missing || state === STATES.update;
}
