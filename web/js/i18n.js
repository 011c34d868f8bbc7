// Every text the page shows, in both interface languages. Keys are shared;
// a key missing from Arabic falls back to English rather than showing a raw key.
// Brand names (TALVEN™ Suite, PowerPoint) and the language autonyms stay as
// they are in both dictionaries.

export const LANGS = Object.freeze(['en', 'ar']);

const en = {
  'app.name': 'TALVEN™ Suite',
  'app.tagline': 'Every TALVEN™ app and PowerPoint add-in, kept up to date in one place.',
  'app.version': 'Version {version}',
  'app.demo': 'Demo',
  'app.demoHint': 'Demo mode: nothing is installed, saved or sent.',

  'nav.label': 'Sections',
  'nav.products': 'Products',
  'nav.feedback': 'Feedback',
  'nav.settings': 'Settings',

  'products.title': 'Products',
  'products.subtitle': 'Your TALVEN™ apps and PowerPoint add-ins, and the updates waiting for them.',
  'products.check': 'Check for Updates',
  'products.apps': 'Applications',
  'products.addins': 'PowerPoint add-ins',
  'products.appsEmpty': 'No applications to show yet.',
  'products.addinsEmpty': 'No PowerPoint add-ins to show yet.',
  'products.loading': 'Looking for your products…',
  'products.none': 'No products are offered right now.',
  'products.installSelected': 'Install selected',
  'products.updateAll': 'Update all ({count})',
  'products.selected': '{count} selected',

  'product.state.missing': 'Not installed',
  'product.state.update': 'Update available',
  'product.state.current': 'Up to date',
  'product.installed': 'Installed',
  'product.available': 'Available',
  'product.size': 'Size',
  'product.notInstalled': '—',
  'product.open': 'Open',
  'product.openName': 'Open {name}',
  'product.select': 'Select {name}',
  'product.notes': 'What’s new in {version}',
  'product.self': 'This app',

  'notice.offline.title': 'You seem to be offline',
  'notice.offline.body': 'TALVEN™ Suite could not reach the update server. Check your internet connection, then try again.',
  'notice.unavailable.title': 'The product list is unavailable',
  'notice.unavailable.body': 'The update server did not send a usable product list. Please try again later.',
  'notice.timeout.title': 'The check did not finish',
  'notice.timeout.body': 'No answer came in time. Please try again in a moment.',
  'notice.stale': 'The list below is from the last successful check.',
  'notice.retry': 'Try again',
  'notice.sample': 'Demo: these are sample products, and their installed versions are examples.',

  'size.byte': '{n} byte',
  'size.bytes': '{n} bytes',
  'size.kb': '{n} KB',
  'size.mb': '{n} MB',
  'size.gb': '{n} GB',
  'size.tb': '{n} TB',

  'check.running': 'Checking for updates…',
  'check.never': 'Not checked for updates yet.',
  'check.done': 'Last checked {when}.',
  'check.failed': 'The last check did not finish ({when}).',

  'time.todayAt': 'today at {time}',
  'time.on': 'on {date}',

  'feedback.title': 'Feedback',
  'feedback.subtitle': 'Tell us what works well and what could be better.',
  'feedback.soonTitle': 'The feedback form is on its way',
  'feedback.soonBody': 'Soon you can write to us from here and attach screenshots and screen recordings.',

  'settings.title': 'Settings',
  'settings.subtitle': 'Choose the language of TALVEN™ Suite and how it starts.',
  'settings.general': 'General',
  'settings.language': 'Language',
  'settings.languageHint': 'Used for this window and the menus.',
  'settings.langSystem': 'System',
  'settings.langEn': 'English',
  'settings.langAr': 'العربية',
  'settings.startLogin': 'Start at login',
  'settings.startLoginHint': 'Opens quietly in the background when you log in and keeps running after you close the window, so it can tell you about updates.',
  'settings.demoNote': 'Demo mode: changes here are not saved.',
  'settings.about': 'About',
  'settings.website': 'Visit the website',
};

// Latin brand names inside Arabic sentences are isolated (LRI … PDI): without
// that, the neutral "™" takes the sentence's direction and lands on the wrong
// side of the name.
const brand = (name) => `\u2066${name}\u2069`;

const ar = {
  'app.name': 'TALVEN™ Suite',
  'app.tagline': `كل برامج ${brand('TALVEN™')} وإضافات PowerPoint، محدَّثة في مكان واحد.`,
  'app.version': 'الإصدار {version}',
  'app.demo': 'عرض تجريبي',
  'app.demoHint': 'وضع العرض التجريبي: لا يُثبَّت شيء ولا يُحفَظ ولا يُرسَل.',

  'nav.label': 'الأقسام',
  'nav.products': 'المنتجات',
  'nav.feedback': 'الملاحظات',
  'nav.settings': 'الإعدادات',

  'products.title': 'المنتجات',
  'products.subtitle': `برامج ${brand('TALVEN™')} وإضافات PowerPoint لديك، والتحديثات المتاحة لها.`,
  'products.check': 'ابحث عن التحديثات',
  'products.apps': 'التطبيقات',
  'products.addins': 'إضافات PowerPoint',
  'products.appsEmpty': 'لا توجد تطبيقات لعرضها بعد.',
  'products.addinsEmpty': 'لا توجد إضافات PowerPoint لعرضها بعد.',
  'products.loading': 'جارٍ البحث عن منتجاتك…',
  'products.none': 'لا تتوفر منتجات في الوقت الحالي.',
  'products.installSelected': 'تثبيت المحدَّد',
  'products.updateAll': 'تحديث الكل ({count})',
  'products.selected': 'المحدَّد: {count}',

  'product.state.missing': 'غير مثبَّت',
  'product.state.update': 'يتوفر تحديث',
  'product.state.current': 'محدَّث',
  'product.installed': 'المثبَّت',
  'product.available': 'المتاح',
  'product.size': 'الحجم',
  'product.notInstalled': '—',
  'product.open': 'فتح',
  'product.openName': 'فتح {name}',
  'product.select': 'تحديد {name}',
  'product.notes': 'ما الجديد في الإصدار {version}',
  'product.self': 'هذا التطبيق',

  'notice.offline.title': 'يبدو أنك غير متصل بالإنترنت',
  'notice.offline.body': `تعذَّر على ${brand('TALVEN™ Suite')} الوصول إلى خادم التحديثات. تحقَّق من اتصالك بالإنترنت ثم أعد المحاولة.`,
  'notice.unavailable.title': 'قائمة المنتجات غير متاحة',
  'notice.unavailable.body': 'لم يُرسل خادم التحديثات قائمة منتجات صالحة. يُرجى المحاولة لاحقًا.',
  'notice.timeout.title': 'لم يكتمل البحث',
  'notice.timeout.body': 'لم يصل ردّ في الوقت المحدد. يُرجى المحاولة بعد قليل.',
  'notice.stale': 'القائمة أدناه من آخر بحث ناجح.',
  'notice.retry': 'أعد المحاولة',
  'notice.sample': 'عرض تجريبي: هذه منتجات نموذجية، وإصداراتها المثبَّتة أمثلة فقط.',

  'size.byte': '{n} بايت',
  'size.bytes': '{n} بايت',
  'size.kb': '{n} كيلوبايت',
  'size.mb': '{n} ميغابايت',
  'size.gb': '{n} غيغابايت',
  'size.tb': '{n} تيرابايت',

  'check.running': 'جارٍ البحث عن التحديثات…',
  'check.never': 'لم يُبحث عن التحديثات بعد.',
  'check.done': 'آخر بحث عن التحديثات {when}.',
  'check.failed': 'لم يكتمل آخر بحث ({when}).',

  'time.todayAt': 'اليوم الساعة {time}',
  'time.on': 'في {date}',

  'feedback.title': 'الملاحظات',
  'feedback.subtitle': 'أخبرنا بما يعمل جيدًا وبما يمكن تحسينه.',
  'feedback.soonTitle': 'نموذج الملاحظات قادم قريبًا',
  'feedback.soonBody': 'ستتمكن قريبًا من مراسلتنا من هنا وإرفاق لقطات الشاشة وتسجيلاتها.',

  'settings.title': 'الإعدادات',
  'settings.subtitle': `اختر لغة ${brand('TALVEN™ Suite')} وطريقة تشغيله.`,
  'settings.general': 'عام',
  'settings.language': 'اللغة',
  'settings.languageHint': 'تُستخدم في هذه النافذة وفي القوائم.',
  'settings.langSystem': 'لغة النظام',
  'settings.langEn': 'English',
  'settings.langAr': 'العربية',
  'settings.startLogin': 'التشغيل عند تسجيل الدخول',
  'settings.startLoginHint': 'يعمل بهدوء في الخلفية عند تسجيل الدخول ويبقى قيد التشغيل بعد إغلاق النافذة، ليُعلِمك بالتحديثات.',
  'settings.demoNote': 'وضع العرض التجريبي: لا تُحفَظ التغييرات هنا.',
  'settings.about': 'حول',
  'settings.website': 'زيارة الموقع',
};

export const dictionaries = Object.freeze({ en: Object.freeze(en), ar: Object.freeze(ar) });

export function dirOf(lang) {
  return lang === 'ar' ? 'rtl' : 'ltr';
}

// Unknown placeholders are left visible ("{name}") so a missing parameter is
// noticed in the UI instead of silently turning into "undefined".
export function t(lang, key, params) {
  const dict = Object.hasOwn(dictionaries, lang) ? dictionaries[lang] : dictionaries.en;
  let text = Object.hasOwn(dict, key) ? dict[key] : dictionaries.en[key];
  if (typeof text !== 'string') return key;
  if (params) {
    text = text.replace(/\{(\w+)\}/g, (whole, name) =>
      Object.hasOwn(params, name) && params[name] != null ? String(params[name]) : whole);
  }
  return text;
}

// Versions and times are shown with Latin digits in both languages so that
// they read the same as the version numbers in the catalog and on the website.
function locale(lang) {
  return lang === 'ar' ? 'ar-u-nu-latn' : 'en';
}

function sameDay(a, b) {
  return a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth() &&
    a.getDate() === b.getDate();
}

// "today at 14:05" for a moment of the current day, otherwise date and time.
export function formatWhen(lang, when, now = Date.now()) {
  const at = new Date(when);
  if (Number.isNaN(at.getTime())) return '';
  if (sameDay(at, new Date(now))) {
    const time = new Intl.DateTimeFormat(locale(lang), { timeStyle: 'short' }).format(at);
    return t(lang, 'time.todayAt', { time });
  }
  const date = new Intl.DateTimeFormat(locale(lang), { dateStyle: 'medium', timeStyle: 'short' })
    .format(at);
  return t(lang, 'time.on', { date });
}

// Download sizes in decimal units, as the Finder shows them (1 MB is
// 1,000,000 bytes), with Latin digits like every other number on the page.
// The unit is chosen after rounding, so 999,999 bytes read "1 MB", not
// "1000 KB".
const SIZE_UNITS = ['size.bytes', 'size.kb', 'size.mb', 'size.gb', 'size.tb'];

export function formatSize(lang, bytes) {
  if (!Number.isFinite(bytes) || bytes < 0) return '';
  const last = SIZE_UNITS.length - 1;
  const digits = (unit) => (unit >= 2 ? 1 : 0);
  const scaled = (unit) => {
    const factor = 10 ** digits(unit);
    return Math.round((bytes / 1000 ** unit) * factor) / factor;
  };
  let unit = 0;
  while (unit < last && bytes >= 1000 ** (unit + 1)) unit++;
  if (unit < last && scaled(unit) >= 1000) unit++;
  const n = new Intl.NumberFormat(locale(lang), { maximumFractionDigits: digits(unit) }).format(scaled(unit));
  const key = unit === 0 && bytes === 1 ? 'size.byte' : SIZE_UNITS[unit];
  return t(lang, key, { n });
}
