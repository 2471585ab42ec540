#include "pdfsize.h"

#include <zqscan/zq_pdf.h>

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QStatusBar>

#include <utility>

namespace
{

const char kCompactKey[] = "pdf/compact";
constexpr int kMessageMs = 10000;

} // namespace

PdfSize::PdfSize(QAction *asCaptured, QAction *compact, QStatusBar *statusBar, QObject *parent,
                 Settings settings)
    : QObject(parent), asCaptured_(asCaptured), compact_(compact), settings_(std::move(settings)),
      statusBar_(statusBar)
{
    setObjectName("pdfSize");
    (settings_.readSwitch(kCompactKey) ? compact_ : asCaptured_)->setChecked(true);
    apply();
    connect(asCaptured_, &QAction::triggered, this, &PdfSize::chosenByUser);
    connect(compact_, &QAction::triggered, this, &PdfSize::chosenByUser);
}

bool PdfSize::isCompact() const
{
    return compact_->isChecked();
}

void PdfSize::chosenByUser()
{
    apply();
    if (!settings_.writeSwitch(kCompactKey, isCompact()))
        statusBar_->showMessage(
            tr("无法把 PDF 文件大小的设置写入 %1").arg(settings_.switchesFile()), kMessageMs);
}

void PdfSize::apply()
{
    if (!isCompact()) {
        zq_pdf_set_page_encoding(ZQ_PDF_ENCODING_ORIGINAL);
        return;
    }
    if (zq_pdf_set_page_encoding(ZQ_PDF_ENCODING_COMPACT) == 0)
        return;
    asCaptured_->setChecked(true);
    statusBar_->showMessage(
        tr("无法生成紧凑的 PDF，页面保持原样：%1").arg(QString::fromLocal8Bit(zq_pdf_error())),
        kMessageMs);
}

QString pdfSavedMessage(const QString &path, int pages)
{
    const QString size =
        QLocale().formattedDataSize(QFileInfo(path).size(), 1, QLocale::DataSizeSIFormat);
    return QCoreApplication::translate("MainWindow", "PDF 已保存：%1（%n 页，%2）", nullptr, pages)
        .arg(path, size);
}
