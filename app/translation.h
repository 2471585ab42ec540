// zqvideo speaks the language of the user's locale.  Its texts are written
// in Chinese, so Chinese needs no file; another language takes zqvideo's
// translation for it, or English when there is none, and Qt's own for the
// buttons of the standard dialogs.  Without a language (the C locale) the
// program keeps its own, Chinese texts.
#ifndef ZQVIDEO_TRANSLATION_H
#define ZQVIDEO_TRANSLATION_H

#include <QLocale>
#include <QString>

class QCoreApplication;

// Where zqvideo's translations are: share/zqvideo/translations beside the
// bin/ folder of an installed program, or translations/ beside the program
// in the build tree.
QString translationsFolder();

// Installs on `app`, which keeps them, the translations for the first of
// the locale's interface languages that is Chinese or has a translation in
// `folder` (English after them all), so that a user who lists Chinese
// before English keeps Chinese.  True when a translation of zqvideo's was
// installed.
bool installTranslations(QCoreApplication &app, const QLocale &locale, const QString &folder);

#endif
