// Application state and the settings dictionary.
//
// The page owns the settings schema; the native side stores whatever the page
// saves and reads only "lang" and "startLogin" from it. Keys this version does
// not know (written by a newer or older page) therefore have to survive every
// save untouched.

import { PACKAGE_KINDS, isArchOf } from './catalog.js';
import { emptyFeedback } from './feedback.js';
import { emptyInstall } from './install.js';
import { emptyCatalog } from './inventory.js';
import { isObject } from './rules.js';
import { AUTO_CHOICES } from './schedule.js';

export const VIEWS = Object.freeze(['products', 'history', 'feedback', 'settings']);
export const LANG_CHOICES = Object.freeze(['system', 'en', 'ar']);

// A detached, JSON-only copy: what goes into "save" can never alias the live
// state, and nothing unserialisable can reach the native side.
export function normalizeSettings(value) {
  if (!isObject(value)) return {};
  try {
    const copy = JSON.parse(JSON.stringify(value));
    return isObject(copy) ? copy : {};
  } catch {
    return {};
  }
}

// Arabic and its varieties that have codes of their own (the members of the
// Arabic macrolanguage in ISO 639-3): a system in Egyptian or Moroccan Arabic
// reads Arabic. The native side holds the same list (src/app/Settings.cpp).
const ARABIC_LANGUAGES = new Set([
  'aao',
  'abh',
  'abv',
  'acm',
  'acq',
  'acw',
  'acx',
  'acy',
  'adf',
  'aeb',
  'aec',
  'afb',
  'ajp',
  'apc',
  'apd',
  'ar',
  'ara',
  'arb',
  'arq',
  'ars',
  'ary',
  'arz',
  'auz',
  'avl',
  'ayh',
  'ayl',
  'ayn',
  'ayp',
  'pga',
  'shu',
  'ssh',
]);

// A language tag as the platform reports it: BCP 47 ("ar-EG", "zh-Hant-TW") or
// a POSIX locale name ("ar_EG.UTF-8", "ar_EG@latin"). Only the primary subtag
// decides, so "arn" (Mapudungun) is not taken for Arabic.
export function isArabicTag(tag) {
  if (typeof tag !== 'string') return false;
  return ARABIC_LANGUAGES.has(
    tag
      .trim()
      .split(/[-_.@\s]/, 1)[0]
      .toLowerCase(),
  );
}

// What the language control shows: an explicit choice, or "system" when the
// settings carry none (or a value this page does not offer).
export function langChoice(settings) {
  const lang = isObject(settings) ? settings.lang : undefined;
  return lang === 'en' || lang === 'ar' ? lang : 'system';
}

export function resolveLang(settings, osLang) {
  const choice = langChoice(settings);
  if (choice !== 'system') return choice;
  return isArabicTag(osLang) ? 'ar' : 'en';
}

// "System" is stored as the absence of "lang": the native menu treats any
// string it finds there as an explicit language and would show English for a
// stored "system" even on an Arabic system.
export function withLanguage(settings, choice) {
  const next = normalizeSettings(settings);
  if (choice === 'en' || choice === 'ar') next.lang = choice;
  else delete next.lang;
  return next;
}

export function startsAtLogin(settings) {
  return isObject(settings) && settings.startLogin === true;
}

export function withStartLogin(settings, on) {
  return { ...normalizeSettings(settings), startLogin: on === true };
}

// "autoInstall": updates found by a check are taken care of without the user
// where the machine allows it. Off unless switched on.
export function installsAutomatically(settings) {
  return isObject(settings) && settings.autoInstall === true;
}

// The package kind this host installs, "" for none. A native side from before
// there was a choice installs installer packages and does not say so; a kind
// this page does not know is nothing it can offer packages for.
export function packageKindOf(value) {
  if (value === undefined) return 'pkg';
  return PACKAGE_KINDS.includes(value) ? value : '';
}

// The kind and, for a Linux kind, the machine as that kind names it ("amd64"
// to dpkg is "x86_64" to rpm); a name the kind could not have written counts
// as none.
function hostPackages(ev) {
  const packages = packageKindOf(ev.packages);
  return { packages, arch: isArchOf(packages, ev.arch) ? ev.arch : '' };
}

export function initialState() {
  return {
    booted: false,
    platform: '',
    version: '',
    demo: false,
    packages: 'pkg',
    arch: '', // the architecture of the packages this host installs; "" names none
    vendorHost: '', // the host catalogs and packages come from; "init" says which
    catalogSecondsPerAddress: 0, // the native side's longest check of one address; "init" says
    settings: {},
    osLang: 'en',
    osDark: false,
    reduceMotion: false,
    view: 'products',
    check: { running: false, startedAt: null, lastAt: null, lastOk: null },
    // What the native side last said of the updates it takes care of on its
    // own: { state: 'waiting', reason } or { state: 'ready', ids }; null for nothing.
    autoUpdate: null,
    catalog: emptyCatalog(),
    selected: [], // ids of the products ticked for installation
    install: emptyInstall(),
    feedback: emptyFeedback(),
    history: null, // the install history, newest first, once the native side has sent it
    policy: null, // { locked: [setting keys], by } from the administrator's policy
    restorable: new Map(), // by id, the version a product can go back to
  };
}

// A DNS name as the native side writes its vendor host; anything else leaves
// the page without one, so it trusts no address at all.
const HOST_NAME = /^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*$/;

// Members of the wrong type fall back instead of failing: the page must come
// up even if a native build sends something unexpected.
export function applyInit(state, event) {
  const ev = isObject(event) ? event : {};
  return {
    ...state,
    booted: true,
    platform: typeof ev.platform === 'string' ? ev.platform : '',
    version: typeof ev.version === 'string' ? ev.version : '',
    demo: ev.demo === true,
    ...hostPackages(ev),
    vendorHost: typeof ev.vendorHost === 'string' && HOST_NAME.test(ev.vendorHost) ? ev.vendorHost.toLowerCase() : '',
    catalogSecondsPerAddress:
      Number.isFinite(ev.catalogSecondsPerAddress) && ev.catalogSecondsPerAddress > 0 ? ev.catalogSecondsPerAddress : 0,
    settings: withoutSavedList(normalizeSettings(ev.settings)),
    osLang: typeof ev.osLang === 'string' && ev.osLang !== '' ? ev.osLang : 'en',
    osDark: ev.osDark === true,
    reduceMotion: ev.reduceMotion === true,
    policy: readPolicy(ev.policy),
  };
}

// The settings the administrator's policy forces and locks, as the native
// side already applied them to "settings", and who set them; null for none.
const LOCKABLE = Object.freeze({
  autoCheck: (v) => AUTO_CHOICES.includes(v),
  autoInstall: (v) => typeof v === 'boolean',
  startLogin: (v) => typeof v === 'boolean',
});
// Also the versions products are held at, by id, and whether feedback may
// carry files.
function readPolicy(policy) {
  if (!isObject(policy)) return null;
  const given = isObject(policy.settings) ? policy.settings : {};
  const locked = Object.keys(LOCKABLE).filter((key) => Object.hasOwn(given, key) && LOCKABLE[key](given[key]));
  const held = new Map(
    Object.entries(isObject(policy.held) ? policy.held : {}).filter(([, version]) => typeof version === 'string'),
  );
  const ids = (list) => new Set(Array.isArray(list) ? list.filter((id) => typeof id === 'string') : []);
  return {
    locked,
    by: typeof policy.by === 'string' ? policy.by.slice(0, 200) : '',
    held,
    hidden: ids(policy.hidden),
    allowed: Array.isArray(policy.allowed) ? ids(policy.allowed) : null,
    selfUpdate: policy.selfUpdate !== false,
    attachments: policy.feedbackAttachments !== false,
  };
}

// Whether users see the product: not hidden, among the allowed where some are
// named, and not the program itself with self-update off (an install of it
// would only be refused). The native side refuses installs of the others.
export function policyShows(policy, product) {
  if (!policy) return true;
  if (policy.hidden.has(product.id) || (policy.allowed && !policy.allowed.has(product.id))) return false;
  return policy.selfUpdate || !product.self;
}

// Whether the administrator locked the setting `key`.
export const isLocked = (state, key) => Boolean(state.policy?.locked.includes(key));

// Earlier versions kept the last good catalog in the settings; the native side
// keeps it now, so the next save leaves it out.
function withoutSavedList(settings) {
  delete settings.savedList;
  return settings;
}

// A member that is missing or mistyped leaves that value as it was.
export function applyAppearance(state, event) {
  const ev = isObject(event) ? event : {};
  return {
    ...state,
    osDark: typeof ev.osDark === 'boolean' ? ev.osDark : state.osDark,
    reduceMotion: typeof ev.reduceMotion === 'boolean' ? ev.reduceMotion : state.reduceMotion,
  };
}

export function langOf(state) {
  return resolveLang(state.settings, state.osLang);
}

export function createStore(initial) {
  let state = initial;
  const listeners = new Set();

  function get() {
    return state;
  }

  // Takes a patch object or a function of the current state.
  function update(change) {
    const next = typeof change === 'function' ? change(state) : { ...state, ...change };
    if (next === state) return;
    const prev = state;
    state = next;
    for (const listener of [...listeners]) {
      try {
        listener(state, prev);
      } catch (err) {
        console.error('suite: state listener failed', err);
      }
    }
  }

  function subscribe(listener) {
    listeners.add(listener);
    return () => listeners.delete(listener);
  }

  return { get, update, subscribe };
}
