#include "translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

QString translationsFolder()
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString installed = programFolder.filePath(ZQ_INSTALLED_TRANSLATIONS);
    return QDir(installed).exists() ? installed : programFolder.filePath("translations");
}

namespace
{

// QTranslator::load also tries the file name cut at each '_' ("en_US",
// then "en").
bool install(QCoreApplication &app, const QString &file, const QString &folder)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(file, folder) && app.installTranslator(translator))
        return true;
    delete translator;
    return false;
}

} // namespace

bool installTranslations(QCoreApplication &app, const QLocale &locale, const QString &folder)
{
    const QString qtFolder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    QStringList languages = locale.uiLanguages();
    if (locale.language() != QLocale::C)
        languages << "en";
    for (QString language : languages) {
        language.replace('-', '_');
        if (language.startsWith("zh")) {
            install(app, "qtbase_" + language, qtFolder);
            return false;
        }
        if (install(app, "zqvideo_" + language, folder)) {
            install(app, "qtbase_" + language, qtFolder);
            return true;
        }
    }
    return false;
}
