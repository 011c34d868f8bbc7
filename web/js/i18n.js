// Every text the page shows, in both interface languages. Keys are shared;
// a key missing from Arabic falls back to English rather than showing a raw key.
// Brand names (TALVEN™ Suite, PowerPoint) and the language autonyms stay as
// they are in both dictionaries.

import { autoAr, autoEn } from './i18n-auto.js';
import { historyAr, historyEn } from './i18n-history.js';
import { isolateLtr } from './rules.js';

export const LANGS = Object.freeze(['en', 'ar']);

const en = {
  ...historyEn,
  ...autoEn,
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
  'products.updateAll': 'Update all ({count} · {size})',
  'products.updateAllNone': 'Update all',
  'products.updatesOne': '1 update available · {size}',
  'products.updatesSome': '{count} updates available · {size}',
  'products.upToDate': 'Everything is up to date',
  'products.selected': '{count} selected',

  'product.state.missing': 'Not installed',
  'product.state.update': 'Update available',
  'product.state.current': 'Up to date',
  'product.state.unavailable': 'Not available for this system',
  'product.state.unsupported': 'Installing is not supported on this system',
  'product.state.held': 'Held at another version by your administrator',
  'product.installed': 'Installed',
  'product.available': 'Available',
  'product.size': 'Size',
  'product.notInstalled': '—',
  'product.open': 'Open',
  'product.openName': 'Open {name}',
  'product.select': 'Select {name}',
  'product.selectShort': 'Select',
  'product.install': 'Install',
  'product.installName': 'Install {name}',
  'product.update': 'Update',
  'product.updateName': 'Update {name}',
  'product.notes': 'What’s new in {version}',
  'product.self': 'This app',

  'notice.offline.title': 'You seem to be offline',
  'notice.offline.body':
    'TALVEN™ Suite could not reach the update server. Check your internet connection, then try again.',
  'notice.unavailable.title': 'The product list is unavailable',
  'notice.unavailable.body': 'The update server did not send a usable product list. Please try again later.',
  'notice.outdated.title': 'The product list is out of date',
  'notice.outdated.body':
    'The update server sent an older or expired product list, so it was not used. Please try again later.',
  'notice.clock.title': "Check this computer's date and time",
  'notice.clock.body':
    "The update server sent a product list dated more than a day ahead of this computer's clock, " +
    'so it was not used. Set the correct date and time, then try again.',
  'notice.timeout.title': 'The check did not finish',
  'notice.timeout.body': 'No answer came in time. Please try again in a moment.',
  'notice.stale': 'The list below is from the last successful check.',
  'notice.saved': 'Showing the list from {when}.',
  'notice.savedOffline': 'Offline — showing the list from {when}.',
  'notice.retry': 'Try again',
  'notice.sample': 'Demo: these are sample products, and their installed versions are examples.',
  'notice.unsupported': 'Installing is not supported on this system. The products are shown for information only.',
  'notice.capped': 'The update server lists more products than TALVEN™ Suite can show. Only the first {max} are shown.',

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

  'install.queued': 'Waiting to start…',
  'install.download': 'Downloading… {pct}',
  'install.downloadBytes': 'Downloading… {pct} · {done} of {total}',
  'install.verify': 'Checking the download…',
  'install.password': 'Waiting for the administrator password…',
  'install.install': 'Installing…',
  'install.installWaiting': 'Waiting for its turn to install…',
  'install.installer': 'Finish in the installer window that opened, then come back here.',
  'install.ok': 'Installed version {version}.',
  'install.okSelf': 'Updated to {version}. TALVEN™ Suite restarts to finish.',
  'install.error.download': 'The download failed. Check your internet connection and try again.',
  'install.error.check':
    'This download is not the package the vendor published, so it was deleted and nothing was installed. ' +
    'Try again later, or contact support if this keeps happening.',
  'install.error.install': 'The installation did not complete. Please try again.',
  'install.error.cancelled': 'Cancelled: the administrator password was not entered.',
  'install.error.unknown': 'The installation failed. Please try again.',
  'install.error.running': 'The product is open: close it to update, or update anyway.',
  'install.lost': 'No word from the installation for a while. Try again if it does not finish.',
  'install.retry': 'Try again',
  'install.retryName': 'Try again: {name}',
  'install.open': '{name} is open: close it to update, or update anyway',
  'install.anyway': 'Update anyway',
  'install.anywayName': 'Update anyway: {name}',
  'install.cancel': 'Cancel',
  'install.cancelName': 'Cancel: {name}',
  'install.stopWaiting': 'Stop waiting',
  'install.stopWaitingName': 'Stop waiting for the installer: {name}',
  'install.cancelled': 'Cancelled. Nothing was installed.',
  'install.cancelledKept': 'Cancelled — the part already downloaded is kept for next time.',
  'install.resumed': 'resumed at {pct}',
  'install.reason.offline': 'This computer seems to be offline. Connect to the internet and try again.',
  'install.reason.dns': 'The download server could not be found. Check your internet connection and try again.',
  'install.reason.tls': 'A secure connection to the download server could not be made.',
  'install.reason.timeout': 'The download server stopped answering. Try again in a moment.',
  'install.reason.http': 'The download server answered with error {code}. Try again later.',
  'install.reason.redirect': 'The download was sent on to an address it may not come from, so it was stopped.',
  'install.reason.space': 'There is not enough free disk space for the download: it needs {size}.',
  'install.reason.refused': 'This package is not offered from an allowed address.',
  'install.reason.digest':
    'This download is not the package the vendor published, so it was deleted and nothing was installed. ' +
    'Try again later, or contact support if this keeps happening.',
  'install.reason.size': 'The download was larger than announced and was stopped.',
  'install.reason.dependency': 'It needs {detail}, which cannot be installed on this system. Nothing was changed.',
  'install.reason.dependencyBare': 'It needs software that cannot be installed on this system. Nothing was changed.',
  'install.reason.conflict': 'It cannot be installed beside {detail}, which stays installed. Nothing was removed.',
  'install.reason.conflictBare': 'It cannot be installed beside software that is installed. Nothing was removed.',
  'install.reason.architecture': 'This package is made for {detail} computers and cannot run on this one.',
  'install.reason.architectureBare': 'This package is made for another kind of computer and cannot run on this one.',
  'install.reason.install': 'The installation did not complete: {detail}',
  'install.reason.installBare': 'The installation did not complete. The install log has the details.',
  'install.reason.signature':
    "The vendor's signed catalog does not offer this package, so it was not installed. " +
    'Check for updates, then try again.',
  'install.details': 'Details',
  'install.cause.offline': 'The connection to the internet was lost.',
  'install.cause.dns': 'The name of the download server could not be looked up.',
  'install.cause.tls': 'The identity of the download server could not be confirmed.',
  'install.cause.timeout': 'The download server stopped sending data.',
  'install.cause.http': 'The download server refused the request with error {code}.',
  'install.cause.redirect': 'The download server sent the request on to an address that is not allowed.',
  'install.cause.space': 'There was not enough free disk space.',
  'install.cause.refused': 'The address of the package is not one it may come from.',
  'install.cause.digest': 'The downloaded file is not the package the vendor published.',
  'install.cause.size': 'The download was larger than the vendor announced.',
  'install.cause.signature': "The vendor's signed catalog does not list this package.",
  'install.reason.policy': 'Your administrator does not allow this version to be installed here.',
  'install.cause.policy': "The administrator's policy does not allow it.",
  'install.cause.cancelled': 'It was cancelled.',
  'install.cause.dependency': 'Software it needs cannot be installed.',
  'install.cause.conflict': 'It conflicts with software that is installed.',
  'install.cause.architecture': 'It is made for another kind of computer.',
  'install.cause.install': "The system's package installer reported an error.",
  'install.cause.error.download': 'The download did not complete.',
  'install.cause.error.check': 'The download could not be checked.',
  'install.cause.error.install': 'The installation did not complete.',
  'install.cause.error.cancelled': 'The administrator password was not entered.',
  'install.cause.error.unknown': 'The cause is not known.',
  'install.cause.error.running': 'The product was open.',
  'install.detailsHost': 'Server: {host}',
  'install.detailsTime': 'Failed {when}',
  'install.openLog': 'Open the install log',
  'install.status': '{name}: {status}',
  'batch.label': 'Overall progress',
  'batch.running': 'Installing: {finished} of {total} finished',
  'batch.allOk': 'Done: everything was installed ({ok} of {total}).',
  'batch.someFailed': 'Done: {ok} of {total} installed, {failed} not installed.',
  'batch.close': 'Close',
  'batch.retryFailed': 'Retry failed',
  'batch.cancelAll': 'Cancel all',
  'batch.noCancel': 'Products already being installed can no longer be cancelled.',
  'title.installing': 'Installing {current} of {total} — TALVEN™ Suite',

  'notify.title': 'Updates are available',
  'notify.body': '{count} updates are ready: {names}.',
  'notify.bodyOne': 'An update is ready: {names}.',
  'notify.update': 'Update',
  'notify.later': 'Later',
  'list.separator': ', ',

  'feedback.title': 'Feedback',
  'feedback.subtitle': 'Tell us what works well and what could be better.',
  'feedback.category': 'Category',
  'feedback.cat.problem': 'Problem',
  'feedback.cat.idea': 'Idea',
  'feedback.cat.question': 'Question',
  'feedback.cat.other': 'Other',
  'feedback.message': 'Message',
  'feedback.messageHint': 'What happened, or what would you like to see?',
  'feedback.messageRequired': 'Please write a message.',
  'feedback.email': 'Email (optional)',
  'feedback.emailHint': 'Only if you would like an answer.',
  'feedback.emailInvalid': 'This does not look like an email address.',
  'feedback.device': 'Include device details',
  'feedback.deviceHint': 'The system version and the kind of computer help us reproduce problems.',
  'feedback.attachments': 'Attachments',
  'feedback.attachHint': 'Screenshots and screen recordings help us see what you see.',
  'feedback.add': 'Add files…',
  'feedback.remove': 'Remove {name}',
  'feedback.noFiles': 'No files attached.',
  'feedback.send': 'Send feedback',
  'feedback.sending': 'Sending… {pct}',
  'feedback.sent.title': 'Thank you!',
  'feedback.sent.body': 'Your feedback was delivered.',
  'feedback.sent.demoBody': 'Demo mode: nothing was sent. This is how a delivered message is confirmed.',
  'feedback.offline.title': 'You seem to be offline',
  'feedback.offline.body': 'Your feedback was not sent. Nothing you wrote is lost: try again when you are connected.',
  'feedback.send.title': 'The feedback could not be sent',
  'feedback.send.body': 'The feedback service did not accept it. Nothing you wrote is lost: please try again later.',
  'feedback.noAnswer.title': 'No answer from the feedback service',
  'feedback.noAnswer.body': 'It may still arrive. If this message stays, try again.',
  'feedback.retry': 'Try again',
  'feedback.demoNote': 'Demo mode: feedback is not sent; sending shows how it would look.',

  'settings.title': 'Settings',
  'settings.subtitle': 'Choose the language of TALVEN™ Suite, how it starts and when it looks for updates.',
  'settings.general': 'General',
  'settings.language': 'Language',
  'settings.languageHint': 'Used for this window and the menus.',
  'settings.langSystem': 'System',
  'settings.langEn': 'English',
  'settings.langAr': 'العربية',
  'settings.startLogin': 'Start at login',
  'settings.startLoginHint':
    'Opens quietly in the background when you log in and keeps running after you close the window, ' +
    'so it can tell you about updates.',
  'settings.demoNote': 'Demo mode: changes here are not saved.',
  'settings.policy': 'Your administrator set some of these settings; they cannot be changed here.',
  'settings.policyBy': 'Some of these settings are set by {by} and cannot be changed here.',
  'settings.about': 'About',
  'settings.website': 'Visit the website',
  'settings.updates': 'Updates',
  'settings.autoCheck': 'Check for updates automatically',
  'settings.autoCheckHint':
    'TALVEN™ Suite also checks each time it starts, ' +
    'and tells you when updates arrive while its window is in the background.',
  'settings.auto.off': 'Never',
  'settings.auto.daily': 'Every day',
  'settings.auto.weekly': 'Every week',
};

// Latin brand names inside Arabic sentences are isolated (LRI … PDI): without
// that, the neutral "™" takes the sentence's direction and lands on the wrong
// side of the name.
const brand = isolateLtr;

const ar = {
  ...historyAr,
  ...autoAr,
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
  'products.updateAll': 'تحديث الكل ({count} · {size})',
  'products.updateAllNone': 'تحديث الكل',
  'products.updatesOne': 'يتوفر تحديث واحد · {size}',
  'products.updatesSome': 'التحديثات المتوفرة: {count} · {size}',
  'products.upToDate': 'كل شيء محدَّث',
  'products.selected': 'المحدَّد: {count}',

  'product.state.missing': 'غير مثبَّت',
  'product.state.update': 'يتوفر تحديث',
  'product.state.current': 'محدَّث',
  'product.state.unavailable': 'غير متوفر لهذا النظام',
  'product.state.unsupported': 'التثبيت غير مدعوم على هذا النظام',
  'product.state.held': 'أبقاه مسؤول النظام على إصدار آخر',
  'product.installed': 'المثبَّت',
  'product.available': 'المتاح',
  'product.size': 'الحجم',
  'product.notInstalled': '—',
  'product.open': 'فتح',
  'product.openName': 'فتح {name}',
  'product.select': 'تحديد {name}',
  'product.selectShort': 'تحديد',
  'product.install': 'تثبيت',
  'product.installName': 'تثبيت {name}',
  'product.update': 'تحديث',
  'product.updateName': 'تحديث {name}',
  'product.notes': 'ما الجديد في الإصدار {version}',
  'product.self': 'هذا التطبيق',

  'notice.offline.title': 'يبدو أنك غير متصل بالإنترنت',
  'notice.offline.body':
    `تعذَّر على ${brand('TALVEN™ Suite')} الوصول إلى خادم التحديثات. ` + 'تحقَّق من اتصالك بالإنترنت ثم أعد المحاولة.',
  'notice.unavailable.title': 'قائمة المنتجات غير متاحة',
  'notice.unavailable.body': 'لم يُرسل خادم التحديثات قائمة منتجات صالحة. يُرجى المحاولة لاحقًا.',
  'notice.outdated.title': 'قائمة المنتجات قديمة',
  'notice.outdated.body': 'أرسل خادم التحديثات قائمة منتجات أقدم أو منتهية الصلاحية، فلم تُستخدم. يُرجى المحاولة لاحقًا.',
  'notice.clock.title': 'تحقَّق من تاريخ هذا الحاسوب ووقته',
  'notice.clock.body':
    'أرسل خادم التحديثات قائمة منتجات مؤرَّخة بأكثر من يوم بعد ساعة هذا الحاسوب، فلم تُستخدم. ' +
    'اضبط التاريخ والوقت الصحيحين ثم أعد المحاولة.',
  'notice.timeout.title': 'لم يكتمل البحث',
  'notice.timeout.body': 'لم يصل ردّ في الوقت المحدد. يُرجى المحاولة بعد قليل.',
  'notice.stale': 'القائمة أدناه من آخر بحث ناجح.',
  'notice.saved': 'تُعرض القائمة المحفوظة {when}.',
  'notice.savedOffline': 'غير متصل — تُعرض القائمة المحفوظة {when}.',
  'notice.retry': 'أعد المحاولة',
  'notice.sample': 'عرض تجريبي: هذه منتجات نموذجية، وإصداراتها المثبَّتة أمثلة فقط.',
  'notice.unsupported': 'التثبيت غير مدعوم على هذا النظام. تُعرض المنتجات للاطلاع فقط.',
  'notice.capped':
    `يعرض خادم التحديثات منتجات أكثر مما يستطيع ${brand('TALVEN™ Suite')} عرضه، ` + 'لذا تُعرض أول {max} منتج فقط.',

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

  'install.queued': 'في انتظار البدء…',
  'install.download': 'جارٍ التنزيل… {pct}',
  'install.downloadBytes': 'جارٍ التنزيل… {pct} · {done} من {total}',
  'install.verify': 'جارٍ التحقق من الملف المنزَّل…',
  'install.password': 'في انتظار كلمة مرور المسؤول…',
  'install.install': 'جارٍ التثبيت…',
  'install.installWaiting': 'في انتظار دوره في التثبيت…',
  'install.installer': 'أكمل التثبيت في نافذة المثبِّت التي فُتحت، ثم عد إلى هنا.',
  'install.ok': 'تم تثبيت الإصدار {version}.',
  'install.okSelf': `تم التحديث إلى الإصدار {version}. سيُعاد تشغيل ${brand('TALVEN™ Suite')} لإكمال التحديث.`,
  'install.error.download': 'تعذَّر التنزيل. تحقَّق من اتصالك بالإنترنت ثم أعد المحاولة.',
  'install.error.check':
    'هذا الملف المنزَّل ليس الحزمة التي نشرها المورِّد، فحُذف ولم يُثبَّت شيء. ' +
    'أعد المحاولة لاحقًا، أو تواصل مع الدعم إن تكرَّر ذلك.',
  'install.error.install': 'لم يكتمل التثبيت. يُرجى إعادة المحاولة.',
  'install.error.cancelled': 'أُلغي التثبيت: لم تُدخَل كلمة مرور المسؤول.',
  'install.error.unknown': 'تعذَّر التثبيت. يُرجى إعادة المحاولة.',
  'install.error.running': 'المنتج مفتوح: أغلقه لتحديثه، أو حدِّثه على أي حال.',
  'install.lost': 'لم يصل أي خبر عن التثبيت منذ مدة. أعد المحاولة إن لم يكتمل.',
  'install.retry': 'أعد المحاولة',
  'install.retryName': 'أعد المحاولة: {name}',
  'install.open': '{name} مفتوح: أغلقه لتحديثه، أو حدِّثه على أي حال',
  'install.anyway': 'حدِّث على أي حال',
  'install.anywayName': 'حدِّث على أي حال: {name}',
  'install.cancel': 'إلغاء',
  'install.cancelName': 'إلغاء: {name}',
  'install.stopWaiting': 'التوقف عن الانتظار',
  'install.stopWaitingName': 'التوقف عن انتظار المثبِّت: {name}',
  'install.cancelled': 'أُلغي. لم يُثبَّت شيء.',
  'install.cancelledKept': 'أُلغي — الجزء الذي نُزِّل محفوظ للمرة القادمة.',
  'install.resumed': 'استُؤنف من {pct}',
  'install.reason.offline': 'يبدو أن هذا الحاسوب غير متصل بالإنترنت. اتصل بالإنترنت ثم أعد المحاولة.',
  'install.reason.dns': 'تعذَّر العثور على خادم التنزيل. تحقَّق من اتصالك بالإنترنت ثم أعد المحاولة.',
  'install.reason.tls': 'تعذَّر إنشاء اتصال آمن بخادم التنزيل.',
  'install.reason.timeout': 'توقَّف خادم التنزيل عن الرد. أعد المحاولة بعد قليل.',
  'install.reason.http': 'ردَّ خادم التنزيل بالخطأ {code}. أعد المحاولة لاحقًا.',
  'install.reason.redirect': 'أُحيل التنزيل إلى عنوان لا يجوز أن يأتي منه، فأُوقِف.',
  'install.reason.space': 'لا توجد مساحة خالية كافية على القرص للتنزيل: يلزم {size}.',
  'install.reason.refused': 'لا تُقدَّم هذه الحزمة من عنوان مسموح به.',
  'install.reason.digest':
    'هذا الملف المنزَّل ليس الحزمة التي نشرها المورِّد، فحُذف ولم يُثبَّت شيء. ' +
    'أعد المحاولة لاحقًا، أو تواصل مع الدعم إن تكرَّر ذلك.',
  'install.reason.size': 'كان الملف المنزَّل أكبر مما أُعلن عنه فأُوقف.',
  'install.reason.dependency': 'يحتاج إلى {detail}، ولا يمكن تثبيته على هذا النظام. لم يتغيّر شيء.',
  'install.reason.dependencyBare': 'يحتاج إلى برامج لا يمكن تثبيتها على هذا النظام. لم يتغيّر شيء.',
  'install.reason.conflict': 'لا يمكن تثبيته مع {detail} المثبَّت، والذي يبقى كما هو. لم يُحذف شيء.',
  'install.reason.conflictBare': 'لا يمكن تثبيته مع برامج مثبَّتة. لم يُحذف شيء.',
  'install.reason.architecture': 'هذه الحزمة مصنوعة لأجهزة {detail} ولا تعمل على هذا الجهاز.',
  'install.reason.architectureBare': 'هذه الحزمة مصنوعة لنوع آخر من الأجهزة ولا تعمل على هذا الجهاز.',
  'install.reason.install': 'لم يكتمل التثبيت: {detail}',
  'install.reason.installBare': 'لم يكتمل التثبيت. تجد التفاصيل في سجل التثبيت.',
  'install.reason.signature': 'لا يعرض فهرس المورِّد الموقَّع هذه الحزمة، فلم تُثبَّت. ابحث عن التحديثات ثم أعد المحاولة.',
  'install.details': 'التفاصيل',
  'install.cause.offline': 'انقطع الاتصال بالإنترنت.',
  'install.cause.dns': 'تعذَّر العثور على اسم خادم التنزيل.',
  'install.cause.tls': 'تعذَّر التأكد من هوية خادم التنزيل.',
  'install.cause.timeout': 'توقَّف خادم التنزيل عن إرسال البيانات.',
  'install.cause.http': 'رفض خادم التنزيل الطلب بالخطأ {code}.',
  'install.cause.redirect': 'أحال خادم التنزيل الطلب إلى عنوان غير مسموح به.',
  'install.cause.space': 'لم تكن على القرص مساحة خالية كافية.',
  'install.cause.refused': 'عنوان الحزمة ليس من العناوين المسموح بها.',
  'install.cause.digest': 'الملف المنزَّل ليس الحزمة التي نشرها المورِّد.',
  'install.cause.size': 'كان الملف المنزَّل أكبر مما أعلنه المورِّد.',
  'install.cause.signature': 'لا يذكر فهرس المورِّد الموقَّع هذه الحزمة.',
  'install.reason.policy': 'لا يسمح مسؤول النظام بتثبيت هذا الإصدار هنا.',
  'install.cause.policy': 'لا تسمح به سياسة مسؤول النظام.',
  'install.cause.cancelled': 'أُلغي.',
  'install.cause.dependency': 'تعذَّر تثبيت برامج يحتاج إليها.',
  'install.cause.conflict': 'يتعارض مع برامج مثبَّتة.',
  'install.cause.architecture': 'صُنع لنوع آخر من الأجهزة.',
  'install.cause.install': 'أبلغ مثبِّت الحزم في النظام عن خطأ.',
  'install.cause.error.download': 'لم يكتمل التنزيل.',
  'install.cause.error.check': 'تعذَّر التحقق من الملف المنزَّل.',
  'install.cause.error.install': 'لم يكتمل التثبيت.',
  'install.cause.error.cancelled': 'لم تُدخَل كلمة مرور المسؤول.',
  'install.cause.error.unknown': 'السبب غير معروف.',
  'install.cause.error.running': 'كان المنتج مفتوحًا.',
  'install.detailsHost': 'الخادم: {host}',
  'install.detailsTime': 'تعذَّر {when}',
  'install.openLog': 'فتح سجل التثبيت',
  'install.status': '{name}: {status}',
  'batch.label': 'التقدُّم الإجمالي',
  'batch.running': 'جارٍ التثبيت: اكتمل {finished} من {total}',
  'batch.allOk': 'اكتمل: ثُبِّت كل شيء ({ok} من {total}).',
  'batch.someFailed': 'اكتمل: ثُبِّت {ok} من {total}، ولم يُثبَّت {failed}.',
  'batch.close': 'إغلاق',
  'batch.retryFailed': 'أعد محاولة ما تعذَّر',
  'batch.cancelAll': 'إلغاء الكل',
  'batch.noCancel': 'لم يعد ممكنًا إلغاء ما بدأ تثبيته.',
  'title.installing': `جارٍ التثبيت {current} من {total} — ${brand('TALVEN™ Suite')}`,

  'notify.title': 'تتوفر تحديثات',
  'notify.body': 'التحديثات الجاهزة ({count}): {names}.',
  'notify.bodyOne': 'يتوفر تحديث: {names}.',
  'notify.update': 'تحديث',
  'notify.later': 'لاحقًا',
  'list.separator': '، ',

  'feedback.title': 'الملاحظات',
  'feedback.subtitle': 'أخبرنا بما يعمل جيدًا وبما يمكن تحسينه.',
  'feedback.category': 'الفئة',
  'feedback.cat.problem': 'مشكلة',
  'feedback.cat.idea': 'فكرة',
  'feedback.cat.question': 'سؤال',
  'feedback.cat.other': 'أخرى',
  'feedback.message': 'الرسالة',
  'feedback.messageHint': 'ماذا حدث، أو ما الذي تودّ أن تراه؟',
  'feedback.messageRequired': 'يُرجى كتابة رسالة.',
  'feedback.email': 'البريد الإلكتروني (اختياري)',
  'feedback.emailHint': 'فقط إن كنت تودّ أن نردّ عليك.',
  'feedback.emailInvalid': 'لا يبدو هذا عنوان بريد إلكتروني.',
  'feedback.device': 'تضمين تفاصيل الجهاز',
  'feedback.deviceHint': 'يساعدنا إصدار النظام ونوع الحاسوب على تكرار المشكلات.',
  'feedback.attachments': 'المرفقات',
  'feedback.attachHint': 'تساعدنا لقطات الشاشة وتسجيلاتها على رؤية ما تراه.',
  'feedback.add': 'إضافة ملفات…',
  'feedback.remove': 'إزالة {name}',
  'feedback.noFiles': 'لا توجد ملفات مرفقة.',
  'feedback.send': 'إرسال الملاحظات',
  'feedback.sending': 'جارٍ الإرسال… {pct}',
  'feedback.sent.title': 'شكرًا لك!',
  'feedback.sent.body': 'وصلتنا ملاحظاتك.',
  'feedback.sent.demoBody': 'وضع العرض التجريبي: لم يُرسل شيء. هكذا يُؤكَّد وصول الملاحظات.',
  'feedback.offline.title': 'يبدو أنك غير متصل بالإنترنت',
  'feedback.offline.body': 'لم تُرسَل ملاحظاتك، ولم يضِع شيء مما كتبته: أعد المحاولة عند الاتصال.',
  'feedback.send.title': 'تعذَّر إرسال الملاحظات',
  'feedback.send.body': 'لم تقبل خدمة الملاحظات الرسالة، ولم يضِع شيء مما كتبته: يُرجى المحاولة لاحقًا.',
  'feedback.noAnswer.title': 'لم يصل ردّ من خدمة الملاحظات',
  'feedback.noAnswer.body': 'قد تصل الرسالة رغم ذلك. إن بقيت هذه الرسالة فأعد المحاولة.',
  'feedback.retry': 'أعد المحاولة',
  'feedback.demoNote': 'وضع العرض التجريبي: لا تُرسَل الملاحظات، ويعرض الإرسال ما سيحدث فقط.',

  'settings.title': 'الإعدادات',
  'settings.subtitle': `اختر لغة ${brand('TALVEN™ Suite')} وطريقة تشغيله وموعد بحثه عن التحديثات.`,
  'settings.general': 'عام',
  'settings.language': 'اللغة',
  'settings.languageHint': 'تُستخدم في هذه النافذة وفي القوائم.',
  'settings.langSystem': 'لغة النظام',
  'settings.langEn': 'English',
  'settings.langAr': 'العربية',
  'settings.startLogin': 'التشغيل عند تسجيل الدخول',
  'settings.startLoginHint':
    'يعمل بهدوء في الخلفية عند تسجيل الدخول ويبقى قيد التشغيل بعد إغلاق النافذة، ليُعلِمك بالتحديثات.',
  'settings.demoNote': 'وضع العرض التجريبي: لا تُحفَظ التغييرات هنا.',
  'settings.policy': 'ضبط مسؤول النظام بعض هذه الإعدادات، ولا يمكن تغييرها هنا.',
  'settings.policyBy': 'ضُبط بعض هذه الإعدادات من قِبَل {by}، ولا يمكن تغييرها هنا.',
  'settings.about': 'حول',
  'settings.website': 'زيارة الموقع',
  'settings.updates': 'التحديثات',
  'settings.autoCheck': 'البحث عن التحديثات تلقائيًا',
  'settings.autoCheckHint':
    `يبحث ${brand('TALVEN™ Suite')} أيضًا عند كل تشغيل، ` + 'ويُعلِمك بالتحديثات التي تصل ونافذته في الخلفية.',
  'settings.auto.off': 'أبدًا',
  'settings.auto.daily': 'كل يوم',
  'settings.auto.weekly': 'كل أسبوع',
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
      Object.hasOwn(params, name) && params[name] != null ? String(params[name]) : whole,
    );
  }
  return text;
}

// Versions and times are shown with Latin digits in both languages so that
// they read the same as the version numbers in the catalog and on the website.
function locale(lang) {
  return lang === 'ar' ? 'ar-u-nu-latn' : 'en';
}

function sameDay(a, b) {
  return a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth() && a.getDate() === b.getDate();
}

// "today at 14:05" for a moment of the current day, otherwise date and time.
export function formatWhen(lang, when, now = Date.now()) {
  const at = new Date(when);
  if (Number.isNaN(at.getTime())) return '';
  if (sameDay(at, new Date(now))) {
    const time = new Intl.DateTimeFormat(locale(lang), { timeStyle: 'short' }).format(at);
    return t(lang, 'time.todayAt', { time });
  }
  const date = new Intl.DateTimeFormat(locale(lang), { dateStyle: 'medium', timeStyle: 'short' }).format(at);
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

// "37%" with Latin digits in both languages, like the sizes beside it.
export function formatPct(lang, pct) {
  const value = Number.isFinite(pct) ? Math.min(100, Math.max(0, pct)) : 0;
  return new Intl.NumberFormat(locale(lang), { style: 'percent', maximumFractionDigits: 0 }).format(value / 100);
}
