// Stands in for the native side when the page is opened in a plain browser
// while it is being worked on: answers "ready" with an "init" built from the
// browser, and follows the browser's appearance. Query parameters preview the
// other cases: ?lang=ar|en, ?dark=1|0, ?demo, ?version=1.2.3,
// ?view=settings, ?packages=deb|rpm|pkg (empty: installing unsupported),
// ?arch=amd64|arm64|… with deb, x86_64|aarch64|… with rpm (the packages
// offered: a machine's name as its kind writes it).

export function browserInit(win = globalThis) {
  const params = new URLSearchParams(win.location?.search ?? '');
  const matches = (query) => win.matchMedia?.(query).matches === true;
  const lang = params.get('lang');
  return {
    type: 'init',
    platform: 'browser',
    version: params.get('version') ?? 'dev',
    demo: params.has('demo'),
    // The host the bundled sample catalog names, as a native build of it would say.
    vendorHost: params.get('vendorHost') ?? 'brenlow.example',
    ...(params.has('packages') ? { packages: params.get('packages') } : {}),
    ...(params.has('arch') ? { arch: params.get('arch') } : {}),
    settings: lang ? { lang } : null,
    osLang: win.navigator?.language || 'en',
    osDark: params.has('dark') ? params.get('dark') !== '0' : matches('(prefers-color-scheme: dark)'),
    reduceMotion: matches('(prefers-reduced-motion: reduce)'),
  };
}

export function followBrowserAppearance(win, receive) {
  if (typeof win.matchMedia !== 'function') return;
  const dark = win.matchMedia('(prefers-color-scheme: dark)');
  const motion = win.matchMedia('(prefers-reduced-motion: reduce)');
  const send = () => receive({ type: 'appearance', osDark: dark.matches, reduceMotion: motion.matches });
  dark.addEventListener?.('change', send);
  motion.addEventListener?.('change', send);
}

export function browserStartView(win = globalThis) {
  return new URLSearchParams(win.location?.search ?? '').get('view');
}
