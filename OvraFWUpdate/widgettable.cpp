// The printer table: USB printers of the printer list file and whether the print
// service keeps a status file for them.
#include "widget.h"

#include "ovrapaths.h"
#include "ui_widget.h"

#include <QCursor>
#include <QFileInfo>
#include <QHeaderView>
#include <QTableWidgetItem>
#include <QToolTip>

namespace {

const int c_iColumnCount = 4;
const int c_iColumnWidths[c_iColumnCount] = {140, 155, 155, 160};
const char* const c_szHeaderKeys[c_iColumnCount] = {
    QT_TRANSLATE_NOOP("QObject", "MainWindow.Table.Printer_Name"),
    QT_TRANSLATE_NOOP("QObject", "MainWindow.Table.Printer_Model"),
    QT_TRANSLATE_NOOP("QObject", "MainWindow.Table.Connection_Mode"),
    QT_TRANSLATE_NOOP("QObject", "MainWindow.Table.Connection_Status"),
};

// The print service keeps a status file for every printer it reaches.
QString ConnectionText(const stPrinterInfo& info)
{
    if (QFileInfo(OvraPaths::StatusFile(info.strName)).isFile())
        return QObject::tr("MainWindow.Table_Content.Connected");
    return QObject::tr("MainWindow.Table_Content.Not_Connected");
}

} // namespace

QList<stPrinterInfo> Widget::GetPrinterInfo()
{
    QList<stPrinterInfo> listUsb;
    for (const stPrinterInfo& info : ::GetPrinterInfo()) {
        if (info.iConnectType == en_Connect_USB)
            listUsb.append(info);
    }
    return listUsb;
}

void Widget::InitDeviceTable()
{
    QTableWidget* pTable = ui->tablePrinterList;
    pTable->setColumnCount(c_iColumnCount);
    QStringList listHeaders;
    for (int i = 0; i < c_iColumnCount; ++i) {
        listHeaders << QObject::tr(c_szHeaderKeys[i]);
        pTable->setColumnWidth(i, c_iColumnWidths[i]);
    }
    pTable->setHorizontalHeaderLabels(listHeaders);
    pTable->horizontalHeader()->setStretchLastSection(true);
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    pTable->setMouseTracking(true);
    connect(pTable, &QTableWidget::entered, this, &Widget::SlotShowToolTip);
}

void Widget::RefreshDeviceTable()
{
    listPrinterInfo = GetPrinterInfo();
    QTableWidget* pTable = ui->tablePrinterList;
    pTable->clearContents();
    pTable->setRowCount(listPrinterInfo.size());
    for (int row = 0; row < listPrinterInfo.size(); ++row) {
        const stPrinterInfo& info = listPrinterInfo.at(row);
        pTable->setItem(row, 0, new QTableWidgetItem(info.strName));
        pTable->setItem(row, 1, new QTableWidgetItem(info.enType));
        pTable->setItem(row, 2, new QTableWidgetItem("USB"));
        pTable->setItem(row, 3, new QTableWidgetItem(ConnectionText(info)));
    }
}

void Widget::SlotShowToolTip(const QModelIndex& index) { QToolTip::showText(QCursor::pos(), index.data().toString()); }
