// Updates the native side takes care of on its own ("autoInstall"): what a
// check found goes to it, and what it answers shows on the status line and,
// while the user is away, in a notification.

import { t } from '../i18n.js';
import { installBatch } from '../inventory.js';
import { UPDATES_FOUND, namesOf, notification } from '../notices.js';
import { installsAutomatically, langOf } from '../state.js';

const READY = { title: 'auto.ready', body: 'auto.readyBody', update: 'auto.install' };
const WAITING_REASONS = ['metered', 'powerSaver'];

const idsOf = (event) => (Array.isArray(event.ids) ? event.ids.filter((id) => typeof id === 'string') : []);

export function createAutoUpdates({ store, router, post }) {
  // The updates of the last hand-over when any of them is news, and the
  // outcomes of those going in without a prompt, by id (null: none under way).
  let news = [];
  let installing = null;
  const lang = () => langOf(store.get());
  const productsOf = (ids) => {
    const known = new Map(store.get().catalog.products.map((p) => [p.id, p]));
    return ids.map((id) => known.get(id) ?? { id });
  };

  // → whether the updates were handed to the native side, which the setting decides.
  function take(updates, freshUpdates) {
    const state = store.get();
    if (!installsAutomatically(state.settings) || state.demo || updates.length === 0) return false;
    news = freshUpdates.length > 0 ? updates : [];
    post({ type: 'autoUpdate', items: installBatch(updates) });
    return true;
  }

  router.on('autoUpdate', (event) => {
    const ids = idsOf(event);
    if (event.state === 'waiting' && WAITING_REASONS.includes(event.reason)) {
      store.update({ autoUpdate: { state: 'waiting', reason: event.reason } });
      // Nothing downloads yet, but the user still hears of what is new.
      if (news.length > 0) post(notification(lang(), UPDATES_FOUND, news));
    } else if (event.state === 'ready' && ids.length > 0) {
      // The rows go back to plain with the install events, in their order.
      store.update({ autoUpdate: { state: 'ready', ids } });
      post(notification(lang(), READY, productsOf(ids)));
    } else if (event.state === 'installing' && ids.length > 0) {
      installing = new Map(ids.map((id) => [id, null]));
      store.update({ autoUpdate: null });
    }
    news = [];
  });

  // The prepared updates are being installed: the status line has nothing to add.
  router.on('progress', (event) => {
    if (event.phase === 'password' && store.get().autoUpdate?.state === 'ready') store.update({ autoUpdate: null });
  });

  // Once every update that went in without a prompt has its outcome, one
  // notice says what was updated and what was not.
  router.on('result', (event) => {
    if (!installing?.has(event.id) || installing.get(event.id) !== null) return;
    installing.set(event.id, event.ok === true);
    if ([...installing.values()].includes(null)) return;
    const outcomes = [...installing];
    installing = null;
    const ended = (done) => productsOf(outcomes.filter(([, ok]) => ok === done).map(([id]) => id));
    const [ok, failed] = [ended(true), ended(false)];
    const l = lang();
    const parts = [];
    if (ok.length > 0) parts.push(t(l, 'auto.installedBody', { names: namesOf(l, ok) }));
    if (failed.length > 0) parts.push(t(l, 'auto.notInstalledBody', { names: namesOf(l, failed) }));
    const title = ok.length > 0 ? 'auto.installed' : 'auto.notInstalled';
    post(notification(l, { title }, [...ok, ...failed], parts.join(' ')));
  });

  return { take };
}
