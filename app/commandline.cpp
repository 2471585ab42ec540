#include "commandline.h"

#include "translation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>

namespace
{

const QCommandLineOption kHelp({"h", "help"},
                               QT_TRANSLATE_NOOP("CommandLine", "显示这段说明并退出"));
const QCommandLineOption kVersion({"v", "version"},
                                  QT_TRANSLATE_NOOP("CommandLine", "显示版本并退出"));

// The options and texts, translated once an application has installed the
// translations.
void describe(QCommandLineParser &parser)
{
    const auto translated = [](const QCommandLineOption &option) {
        QCommandLineOption copy = option;
        copy.setDescription(
            QCoreApplication::translate("CommandLine", qPrintable(option.description())));
        return copy;
    };
    parser.addOption(translated(kHelp));
    parser.addOption(translated(kVersion));
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "用 USB 文档摄像头拍下文档的页面，并把它们合成 PDF。\n"
                       "窗口的快捷键列在“帮助 → 快捷键”中。"));
}

} // namespace

// The question is looked at before any application exists: a window
// application would need a display just to print its help.  Only then is a
// plain one made, for the translated texts.
void answerTextRequests(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser question;
    describe(question);
    question.parse(arguments); // options of Qt's own are no error here
    if (!question.isSet(kHelp.names().first()) && !question.isSet(kVersion.names().first()))
        return;

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(ZQ_VERSION));
    installTranslations(app, QLocale(), translationsFolder());
    QCommandLineParser parser;
    describe(parser);
    if (question.isSet(kVersion.names().first()))
        parser.showVersion();
    parser.showHelp(0);
}
