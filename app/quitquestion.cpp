#include "quitquestion.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace
{

struct QuitQuestion {
    Q_DECLARE_TR_FUNCTIONS(QuitQuestion)

  public:
    static QuitAnswer ask(QWidget *parent, int pages);
};

QuitAnswer QuitQuestion::ask(QWidget *parent, int pages)
{
    QMessageBox box(QMessageBox::Question, tr("退出"),
                    tr("已为 PDF 收集了 %n 页。要怎么处理这些页面？", nullptr, pages),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(tr("页面文件在任何情况下都会保留。"));
    QPushButton *compose = box.addButton(tr("现在合成 PDF"), QMessageBox::AcceptRole);
    QPushButton *keep = box.addButton(tr("留到下次"), QMessageBox::RejectRole);
    QPushButton *discard = box.addButton(tr("放弃收集"), QMessageBox::DestructiveRole);
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    if (box.clickedButton() == compose)
        return QuitAnswer::Compose;
    if (box.clickedButton() == discard)
        return QuitAnswer::Discard;
    return QuitAnswer::Keep;
}

} // namespace

QuitAnswer (*askAboutCollection)(QWidget *parent, int pages) = QuitQuestion::ask;
