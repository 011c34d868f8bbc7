// The settings the user changes from the page: interface language, start at
// login, automatic checks and installs.

import { AUTO_CHOICES, autoCheckChoice } from '../schedule.js';
import {
  LANG_CHOICES,
  installsAutomatically,
  isLocked,
  langChoice,
  startsAtLogin,
  withLanguage,
  withStartLogin,
} from '../state.js';

export function createSettingsIntents({ store, post }) {
  // The page owns the whole dictionary, so every change sends all of it. The
  // bridge sends it as JSON text, which is the detached, JSON-only copy the
  // native side needs; a copy made here as well doubled the work on the kept
  // list, megabytes for a long catalog, before its list was drawn.
  function saveSettings(settings) {
    store.update({ settings });
    post({ type: 'save', settings });
  }

  // Before "init" the page does not know the stored settings yet; saving then
  // would replace them with a dictionary holding only this one change.
  function setLanguage(choice) {
    if (!LANG_CHOICES.includes(choice) || !store.get().booted) return false;
    const { settings } = store.get();
    if (langChoice(settings) === choice && (choice !== 'system' || !('lang' in settings))) {
      return false;
    }
    saveSettings(withLanguage(settings, choice));
    return true;
  }

  function setStartLogin(on) {
    if (!store.get().booted || isLocked(store.get(), 'startLogin')) return false;
    const wanted = on === true;
    const { settings } = store.get();
    if (startsAtLogin(settings) === wanted && typeof settings.startLogin === 'boolean') return false;
    // Saved first, so that the native close rule already sees the new value
    // while the login item is being registered.
    saveSettings(withStartLogin(settings, wanted));
    post({ type: 'setLoginItem', on: wanted });
    return true;
  }

  function setAutoCheck(choice) {
    const { settings, booted } = store.get();
    if (!booted || isLocked(store.get(), 'autoCheck')) return false;
    if (!AUTO_CHOICES.includes(choice) || autoCheckChoice(settings) === choice) return false;
    saveSettings({ ...settings, autoCheck: choice });
    return true;
  }

  function setAutoInstall(on) {
    const { settings, booted } = store.get();
    if (!booted || isLocked(store.get(), 'autoInstall')) return false;
    if (installsAutomatically(settings) === (on === true)) return false;
    saveSettings({ ...settings, autoInstall: on === true });
    return true;
  }

  return { saveSettings, setLanguage, setStartLogin, setAutoCheck, setAutoInstall };
}
