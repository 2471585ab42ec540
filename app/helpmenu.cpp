#include "helpmenu.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace
{

// Versions known when the program was built; the build leaves one empty
// when it could not tell.
struct Library {
    const char *name;
    const char *version;
};

const Library kBuiltWith[] = {
    {"OpenCV", ZQ_OPENCV_VERSION},       {"libjpeg-turbo", ZQ_TURBOJPEG_VERSION},
    {"libtiff", ZQ_TIFF_VERSION},        {"qpdf", ZQ_QPDF_VERSION},
    {"Tesseract", ZQ_TESSERACT_VERSION},
};

QString libraries()
{
    // Qt's own version is the one the program runs with.
    QStringList names{QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()))};
    for (const Library &library : kBuiltWith)
        names << QString::fromLatin1("%1 %2").arg(library.name, library.version).trimmed();
    return names.join(QStringLiteral(", "));
}

QString plainText(const QAction *action)
{
    return action->text().remove(QLatin1Char('&'));
}

void fillKeyTable(QTableWidget *table, const QList<QAction *> &actions)
{
    for (const QAction *action : actions) {
        if (action->shortcuts().isEmpty())
            continue;
        QStringList keys;
        for (const QKeySequence &key : action->shortcuts())
            keys << key.toString(QKeySequence::NativeText);
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(plainText(action)));
        table->setItem(row, 1, new QTableWidgetItem(keys.join(QStringLiteral(", "))));
    }
}

} // namespace

QString aboutText()
{
    return HelpMenu::tr("<h3>zqvideo %1</h3>"
                        "<p>用 USB 文档摄像头拍下文档的页面，并把它们合成 PDF。</p>"
                        "<p>许可证：作者尚未为 zqscan 选定许可证，在此之前保留所有权利。</p>"
                        "<p>使用的程序库：%2</p>")
        .arg(QString::fromLatin1(ZQ_VERSION), libraries());
}

HelpMenu::HelpMenu(QMainWindow *window) : QObject(window), window_(window)
{
    QMenu *menu = window->menuBar()->addMenu(tr("帮助"));
    menu->setObjectName(QStringLiteral("menuHelp"));
    QAction *keys = menu->addAction(tr("快捷键"), this, &HelpMenu::showKeys);
    keys->setObjectName(QStringLiteral("actionKeys"));
    keys->setToolTip(tr("列出窗口的全部快捷键"));
    QAction *about = menu->addAction(tr("关于 zqvideo"), this, &HelpMenu::showAbout);
    about->setObjectName(QStringLiteral("actionAbout"));
    about->setToolTip(tr("版本、许可证和使用的程序库"));
}

// Read from the actions themselves, so that the list cannot fall behind.
void HelpMenu::showKeys()
{
    auto *dialog = new QDialog(window_);
    dialog->setObjectName(QStringLiteral("keysDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("快捷键"));
    auto *table = new QTableWidget(0, 2, dialog);
    table->setHorizontalHeaderLabels({tr("操作"), tr("按键")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    fillKeyTable(table, window_->findChildren<QAction *>());
    table->resizeColumnsToContents();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog->resize(480, 320);
    dialog->open();
}

void HelpMenu::showAbout()
{
    auto *box = new QMessageBox(QMessageBox::Information, tr("关于 zqvideo"), aboutText(),
                                QMessageBox::Close, window_);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
