// The desktop notifications the page asks the native side for: a title, a
// body naming the products, and the buttons ("update" answers, "later"
// dismisses) or none for a notice of what was done.

import { productName } from './catalog.js';
import { t } from './i18n.js';

export const namesOf = (lang, products) => products.map((p) => productName(p, lang)).join(t(lang, 'list.separator'));

// `keys`: the title's, the body's (and the body's for one product), and the
// answer button's; `body` replaces the body worked out from the keys.
export function notification(lang, keys, products, body = null) {
  const names = namesOf(lang, products);
  const one = products.length === 1 && keys.bodyOne;
  const message = {
    type: 'notify',
    title: t(lang, keys.title),
    body: body ?? t(lang, one ? keys.bodyOne : keys.body, { count: products.length, names }),
  };
  if (!keys.update) return { ...message, buttons: false };
  return { ...message, update: t(lang, keys.update), later: t(lang, 'notify.later') };
}

export const UPDATES_FOUND = {
  title: 'notify.title',
  body: 'notify.body',
  bodyOne: 'notify.bodyOne',
  update: 'notify.update',
};
