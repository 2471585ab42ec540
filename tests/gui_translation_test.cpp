// zqvideo's languages: the English translation under an English locale,
// the Chinese source texts under a Chinese one, and English texts that fit
// the fixed layout.
#include "gui_frame_harness.h"

#include "translation.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyleOption>
#include <QTranslator>
#include <QXmlStreamReader>

namespace
{

bool hasChinese(const QString &text)
{
    static const QRegularExpression han("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]");
    return han.match(text).hasMatch();
}

// Every text the window shows, each with the widget or action it is on.
QList<QPair<QString, QString>> shownTexts(QMainWindow &window)
{
    QList<QPair<QString, QString>> texts{{"window title", window.windowTitle()}};
    const auto add = [&texts](const QObject *o, const QString &text) {
        if (!text.isEmpty())
            texts.append({o->objectName(), text});
    };
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        if (auto *b = qobject_cast<const QAbstractButton *>(w))
            add(w, b->text());
        else if (auto *l = qobject_cast<const QLabel *>(w))
            add(w, l->text());
        else if (auto *g = qobject_cast<const QGroupBox *>(w))
            add(w, g->title());
        else if (auto *c = qobject_cast<const QComboBox *>(w))
            for (int i = 0; i < c->count(); ++i)
                add(w, c->itemText(i));
        add(w, w->toolTip());
    }
    for (const QAction *a : window.findChildren<QAction *>()) {
        add(a, a->text());
        add(a, a->toolTip());
    }
    return texts;
}

// The room a widget's style leaves for its text, or an empty rectangle for
// widgets whose text is not boxed in by the layout.
QRect textRoom(QWidget *w)
{
    QStyle *style = w->style();
    if (qobject_cast<QCheckBox *>(w) || qobject_cast<QPushButton *>(w)) {
        QStyleOptionButton option;
        option.initFrom(w);
        const bool check = qobject_cast<QCheckBox *>(w);
        return style->subElementRect(
            check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option, w);
    }
    if (qobject_cast<QComboBox *>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(w);
        return style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, w);
    }
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->contentsRect();
    return {};
}

QStringList textsOf(QWidget *w)
{
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        return items;
    }
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return {b->text()};
    if (auto *l = qobject_cast<QLabel *>(w))
        return {l->text()};
    return {};
}

// Answers every modal dialog that opens by closing it, keeping its texts.
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
        QTest::newRow("de_DE, no translation") << "de_DE" << false;
    }
    void languageFollowsTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(bool, english);
        const auto source = shownTexts(*std::make_unique<MainWindow>());
        QCOMPARE(installTranslations(*qApp, QLocale(locale), ZQ_TRANSLATIONS_DIR), english);
        window = std::make_unique<MainWindow>();
        const auto shown = shownTexts(*window);
        QVERIFY(hasChinese(source.first().second));
        if (!english) {
            QCOMPARE(shown, source);
            return;
        }
        QCOMPARE(shown.size(), source.size());
        for (const auto &[where, text] : shown)
            QVERIFY2(!hasChinese(text), qPrintable(where + ": " + text));
    }

    // What shows only when used: the PDF button's second text and the page
    // count, the status bar after a capture, the dialogs.
    void textsShownLaterAreEnglish()
    {
        QVERIFY(installTranslations(*qApp, QLocale("en_US"), ZQ_TRANSLATIONS_DIR));
        hw().addCamera(0, camera1280x720());
        window = startWindow(startSettings(1280, 720, saveDir->path()));
        auto *pdf = widget<QPushButton>(*window, "butten_pdf");
        QTest::mouseClick(pdf, Qt::LeftButton);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
        window->TimerUpdate();
        const QString status = window->statusBar()->currentMessage();
        QVERIFY(!status.isEmpty());

        dialogs.reset(); // the real dialogs
        DialogCloser closer;
        MainWindow::hooks.chooseDirectory(window.get());
        showDirError();
        QVERIFY(closer.texts.size() >= 4);
        QStringList texts = QStringList{status} + closer.texts;
        for (const auto &[where, text] : shownTexts(*window))
            texts << text;
        QCOMPARE(pdf->text(), QCoreApplication::translate("MainWindow", "停止合成PDF"));
        for (const QString &text : texts)
            QVERIFY2(!hasChinese(text), qPrintable(text));
    }

    // No English text is cut off by the fixed sizes of its widget.
    void englishTextsFit()
    {
        QVERIFY(installTranslations(*qApp, QLocale("en_US"), ZQ_TRANSLATIONS_DIR));
        window = std::make_unique<MainWindow>();
        auto *pdf = widget<QPushButton>(*window, "butten_pdf");
        const QString stopText = QCoreApplication::translate("MainWindow", "停止合成PDF");
        QVERIFY(!hasChinese(stopText));
        int checked = 0;
        for (QWidget *w : widget<QGroupBox>(*window, "groupBox")->findChildren<QWidget *>()) {
            const QRect room = textRoom(w);
            QStringList texts = textsOf(w);
            if (w == pdf)
                texts << stopText;
            for (const QString &text : texts) {
                const int needed = w->fontMetrics().horizontalAdvance(text);
                QVERIFY2(needed <= room.width(),
                         qPrintable(QString("%1: \"%2\" needs %3 px, has %4")
                                        .arg(w->objectName(), text)
                                        .arg(needed)
                                        .arg(room.width())));
                ++checked;
            }
        }
        QVERIFY(checked > 40);
    }

    // Every text of the translation file is translated into English, and
    // the compiled translation gives exactly that.
    void everyTranslationIsEnglish()
    {
        QTranslator compiled;
        QVERIFY(compiled.load("zqvideo_en", ZQ_TRANSLATIONS_DIR));
        QFile ts(ZQ_TRANSLATION_SOURCE);
        QVERIFY(ts.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&ts);
        QString context, source;
        bool numerus = false; // the translation has a form for one and for more
        QStringList forms;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("message"))
                numerus = xml.attributes().value("numerus") == QLatin1String("yes");
            else if (xml.name() == QLatin1String("name"))
                context = xml.readElementText();
            else if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            else if (xml.name() == QLatin1String("translation")) {
                QVERIFY2(xml.attributes().value("type").isEmpty(), qPrintable(source));
                if (numerus) {
                    forms.clear(); // its forms follow
                    continue;
                }
                const QString english = xml.readElementText();
                QVERIFY2(!english.isEmpty() && !hasChinese(english), qPrintable(source));
                QCOMPARE(compiled.translate(qPrintable(context), qPrintable(source)), english);
                ++messages;
            } else if (xml.name() == QLatin1String("numerusform")) {
                forms << xml.readElementText();
                QVERIFY2(!forms.last().isEmpty() && !hasChinese(forms.last()), qPrintable(source));
                // English forms: one, then more than one.
                QCOMPARE(compiled.translate(qPrintable(context), qPrintable(source), nullptr,
                                            forms.size()),
                         forms.last());
                ++messages;
            }
        }
        QVERIFY(!xml.hasError());
        QVERIFY(messages > 40);
    }
};

ZQ_GUI_TEST_MAIN(TranslationTest)
#include "gui_translation_test.moc"
