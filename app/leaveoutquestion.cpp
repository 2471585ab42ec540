#include "leaveoutquestion.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace
{

struct LeaveOutQuestion {
    Q_DECLARE_TR_FUNCTIONS(LeaveOutQuestion)

  public:
    static bool ask(QWidget *parent, const QStringList &problems);
};

bool LeaveOutQuestion::ask(QWidget *parent, const QStringList &problems)
{
    QMessageBox box(QMessageBox::Warning, tr("合成 PDF"),
                    tr("%n 页无法放进 PDF。", nullptr, int(problems.size())), QMessageBox::NoButton,
                    parent);
    box.setInformativeText(problems.join('\n'));
    QPushButton *leaveOut = box.addButton(tr("不放这些页，合成其余页面"), QMessageBox::AcceptRole);
    QPushButton *wait = box.addButton(tr("先不合成"), QMessageBox::RejectRole);
    box.setDefaultButton(wait);
    box.setEscapeButton(wait);
    box.exec();
    return box.clickedButton() == leaveOut;
}

} // namespace

bool (*askToLeaveOut)(QWidget *parent, const QStringList &problems) = LeaveOutQuestion::ask;
