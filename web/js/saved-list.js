// The list of the last good check, as the native side kept it with its
// signature and verified it again at this start ("kept" in "init"): what a
// start shows at once, and a failed check falls back on. The page keeps
// nothing of it itself.

import { isObject } from './rules.js';

// → { text, at } or null when the native side kept none it could verify.
export function keptCopyOf(init) {
  const kept = isObject(init) ? init.kept : undefined;
  if (!isObject(kept) || typeof kept.text !== 'string' || !Number.isFinite(kept.at)) return null;
  return { text: kept.text, at: kept.at };
}
