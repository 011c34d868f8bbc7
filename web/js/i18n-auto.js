// The words of updates that take care of themselves, in both interface
// languages (merged into i18n.js).

export const autoEn = {
  'settings.autoInstall': 'Install updates automatically',
  'settings.autoInstallHint':
    'Downloads updates in the background, but not on a metered connection or in power saver. Where your administrator allows it, they install without a password; otherwise one click installs them.',
  'auto.waiting.metered': 'Updates will download when the connection is not metered.',
  'auto.waiting.powerSaver': 'Updates will download when power saver is off.',
  'auto.ready': 'Updates ready to install',
  'auto.readyBody': 'Downloaded and checked: {names}.',
  'auto.install': 'Install',
  'auto.installed': 'Updates installed',
  'auto.installedBody': 'Updated: {names}.',
  'auto.notInstalled': 'Updates could not be installed',
  'auto.notInstalledBody': 'Not updated: {names}. The History view says why.',
};

export const autoAr = {
  'settings.autoInstall': 'تثبيت التحديثات تلقائيًا',
  'settings.autoInstallHint':
    'يُنزِّل التحديثات في الخلفية، إلا على اتصال محدود أو في وضع توفير الطاقة. وحيث يسمح المسؤول تُثبَّت دون كلمة مرور، وإلا فنقرة واحدة تثبِّتها.',
  'auto.waiting.metered': 'ستُنزَّل التحديثات حين لا يكون الاتصال محدودًا.',
  'auto.waiting.powerSaver': 'ستُنزَّل التحديثات حين يتوقف وضع توفير الطاقة.',
  'auto.ready': 'التحديثات جاهزة للتثبيت',
  'auto.readyBody': 'نُزِّلت وفُحصت: {names}.',
  'auto.install': 'تثبيت',
  'auto.installed': 'ثُبِّتت التحديثات',
  'auto.installedBody': 'حُدِّث: {names}.',
  'auto.notInstalled': 'تعذّر تثبيت التحديثات',
  'auto.notInstalledBody': 'لم يُحدَّث: {names}. يبيّن السجلّ السبب.',
};
