// zqvideo's languages: the English translation under an English locale,
// the Chinese source texts under a Chinese one, and English texts that fit
// the fixed layout.
#include "gui_frame_harness.h"

#include "translation.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyleOption>
#include <QTranslator>

namespace
{

bool hasChinese(const QString &text)
{
    static const QRegularExpression han("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]");
    return han.match(text).hasMatch();
}

struct ShownText {
    QObject *on; // the widget or action; null for the window title
    QString text;
};

QStringList textsOf(const QObject *o)
{
    if (auto *b = qobject_cast<const QAbstractButton *>(o))
        return {b->text()};
    if (auto *l = qobject_cast<const QLabel *>(o))
        return {l->text()};
    if (auto *g = qobject_cast<const QGroupBox *>(o))
        return {g->title()};
    if (auto *a = qobject_cast<const QAction *>(o))
        return {a->text(), a->toolTip()};
    QStringList items;
    if (auto *c = qobject_cast<const QComboBox *>(o))
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
    return items;
}

// Every text the window shows, with the widget or action it is on.
QList<ShownText> shownTexts(QMainWindow &window)
{
    QList<ShownText> shown{{nullptr, window.windowTitle()}};
    for (QObject *o : window.findChildren<QObject *>())
        for (const QString &text : textsOf(o))
            if (!text.isEmpty())
                shown.append({o, text});
    return shown;
}

// The room a widget's style leaves for its text.
int textRoom(QWidget *w)
{
    QStyle *style = w->style();
    if (qobject_cast<QComboBox *>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(w);
        return style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, w)
            .width();
    }
    if (qobject_cast<QAbstractButton *>(w)) {
        QStyleOptionButton option;
        option.initFrom(w);
        const auto contents = qobject_cast<QCheckBox *>(w) ? QStyle::SE_CheckBoxContents
                                                           : QStyle::SE_PushButtonContents;
        return style->subElementRect(contents, &option, w).width();
    }
    return w->contentsRect().width();
}

// Closes every modal dialog that opens, keeping its texts.
class DialogCloser : public QObject
{
  public:
    DialogCloser()
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                texts << dialog->windowTitle();
                if (auto *box = qobject_cast<QMessageBox *>(dialog))
                    texts << box->text();
                for (const QAbstractButton *b : dialog->findChildren<QAbstractButton *>())
                    texts << b->text();
                dialog->reject();
            }
        });
        timer_.start(20);
    }
    QStringList texts;

  private:
    QTimer timer_;
};

QString translated(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

} // namespace

class TranslationTest : public WindowTest
{
    Q_OBJECT

  private slots:
    // The font Qt's desktop platforms use when no desktop theme sets one;
    // the offscreen platform has a larger default of its own.
    void initTestCase() { QApplication::setFont(QFont("Sans Serif", 9)); }
    void init() { startFresh(); }
    void cleanup()
    {
        finish();
        qDeleteAll(qApp->findChildren<QTranslator *>());
    }

    void languageFollowsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("english");
        QTest::newRow("en_US") << "en_US" << true;
        QTest::newRow("en_GB") << "en_GB" << true;
        QTest::newRow("zh_CN") << "zh_CN" << false;
        QTest::newRow("zh_TW") << "zh_TW" << false;
        QTest::newRow("de_DE, no translation: English") << "de_DE" << true;
        QTest::newRow("C, no language: the program's own") << "C" << false;
    }
    void languageFollowsTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(bool, english);
        window = std::make_unique<MainWindow>();
        const QStringList source = shownStrings();
        QVERIFY(hasChinese(source.first()));
        QCOMPARE(installTranslations(*qApp, QLocale(locale), ZQ_TRANSLATIONS_DIR), english);
        window = std::make_unique<MainWindow>();
        const QStringList shown = shownStrings();
        QCOMPARE(shown.size(), source.size());
        if (!english)
            QCOMPARE(shown, source);
        for (const QString &text : shown)
            QVERIFY2(!english || !hasChinese(text), qPrintable(text));
    }

    // What shows only when used: the PDF button's second text and the page
    // count, the status bar after a capture, the dialogs.
    void textsShownLaterAreEnglish()
    {
        QVERIFY(installTranslations(*qApp, QLocale("en_US"), ZQ_TRANSLATIONS_DIR));
        hw().addCamera(0, camera1280x720());
        window = startWindow(startSettings(1280, 720, saveDir->path()));
        QTest::mouseClick(widget<QPushButton>(*window, "butten_pdf"), Qt::LeftButton);
        tick(*window);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
        tick(*window);
        QCOMPARE(widget<QPushButton>(*window, "butten_pdf")->text(), translated("停止合成PDF"));
        QStringList texts = shownStrings() << window->statusBar()->currentMessage();
        QVERIFY(!texts.last().isEmpty());

        dialogs.reset(); // the real dialogs
        DialogCloser closer;
        MainWindow::hooks.chooseDirectory(window.get());
        showDirError();
        QVERIFY(closer.texts.size() >= 4);
        for (const QString &text : texts + closer.texts)
            QVERIFY2(!hasChinese(text), qPrintable(text));
    }

    // No English text of the controls is cut off by its widget's fixed size.
    void englishTextsFit()
    {
        QVERIFY(installTranslations(*qApp, QLocale("en_US"), ZQ_TRANSLATIONS_DIR));
        window = std::make_unique<MainWindow>();
        auto *controls = widget<QGroupBox>(*window, "groupBox");
        QList<ShownText> shown = shownTexts(*window);
        shown.append({controls->findChild<QPushButton *>("butten_pdf"), translated("停止合成PDF")});
        int checked = 0;
        for (const ShownText &s : shown) {
            auto *w = qobject_cast<QWidget *>(s.on);
            if (!w || w->parent() != controls)
                continue;
            const int needed = w->fontMetrics().horizontalAdvance(s.text);
            QVERIFY2(needed <= textRoom(w), qPrintable(QString("%1: \"%2\" needs %3 px, has %4")
                                                           .arg(w->objectName(), s.text)
                                                           .arg(needed)
                                                           .arg(textRoom(w))));
            ++checked;
        }
        QVERIFY(checked > 40);
    }

  private:
    QStringList shownStrings()
    {
        QStringList texts;
        for (const ShownText &s : shownTexts(*window))
            texts << s.text;
        return texts;
    }
};

ZQ_GUI_TEST_MAIN(TranslationTest)
#include "gui_translation_test.moc"
