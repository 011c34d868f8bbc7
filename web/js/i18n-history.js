// The history view's words, in both interface languages (merged into i18n.js).
// Arabic says "from … to …" in words: an arrow would point against the line.

export const historyEn = {
  'nav.history': 'History',
  'history.title': 'History',
  'history.subtitle': 'Every install and update on this computer, newest first.',
  'history.listLabel': 'Installs and updates',
  'history.empty': 'Nothing has been installed or updated yet.',
  'history.versions': '{from} → {to}',
  'history.summary': '{result} · {versions}',
  'history.result.installed': 'Installed',
  'history.result.updated': 'Updated',
  'history.result.failed': 'Failed',
  'history.result.cancelled': 'Cancelled',
  'history.result.restored': 'Restored',
  'history.restore': 'Restore previous version ({version})',
};

export const historyAr = {
  'nav.history': 'السجلّ',
  'history.title': 'السجلّ',
  'history.subtitle': 'كل تثبيت وتحديث على هذا الحاسوب، الأحدث أولًا.',
  'history.listLabel': 'عمليات التثبيت والتحديث',
  'history.empty': 'لم يُثبَّت أو يُحدَّث شيء بعد.',
  'history.versions': 'من {from} إلى {to}',
  'history.summary': '{result}، {versions}',
  'history.result.installed': 'ثُبِّت',
  'history.result.updated': 'حُدِّث',
  'history.result.failed': 'لم ينجح',
  'history.result.cancelled': 'أُلغي',
  'history.result.restored': 'استُعيد',
  'history.restore': 'استعادة الإصدار السابق ({version})',
};
