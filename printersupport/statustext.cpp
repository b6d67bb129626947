#include "statustext.h"

#include <cstdio>

// Columns: English, Chinese, Russian.
const QString c_strStatusLanguageText[][3] = {
    {QStringLiteral("Unknown"), QStringLiteral("未知"), QStringLiteral("Неизвестно")}, // 0
    {QStringLiteral("Data format error or version mismatch"), QStringLiteral("数据格式错误或版本不匹配"),
     QStringLiteral("Ошибка формата данных или несоответствие версии")},                                  // 1
    {QStringLiteral("Offline"), QStringLiteral("脱机"), QStringLiteral("Не в сети")},                     // 2
    {QStringLiteral("Ready"), QStringLiteral("就绪"), QStringLiteral("Готов")},                           // 3
    {QStringLiteral("Initialization"), QStringLiteral("初始化"), QStringLiteral("Инициализация")},        // 4
    {QStringLiteral("Printer Busy"), QStringLiteral("忙碌"), QStringLiteral("Принтер занят")},            // 5
    {QStringLiteral("Canceling task"), QStringLiteral("正在取消任务"), QStringLiteral("Отмена задачи")},  // 6
    {QStringLiteral("Error"), QStringLiteral("错误"), QStringLiteral("Ошибка")},                          // 7
    {QStringLiteral("Printing"), QStringLiteral("正在打印"), QStringLiteral("Печать")},                   // 8
    {QStringLiteral("Scanning"), QStringLiteral("正在扫描"), QStringLiteral("Сканирование")},             // 9
    {QStringLiteral("Copying"), QStringLiteral("正在复印"), QStringLiteral("Копирование")},               // 10
    {QStringLiteral("Printing report"), QStringLiteral("正在打印报告"), QStringLiteral("Печать отчета")}, // 11
};

const QString c_strErrorDescText[][3] = {
    {QStringLiteral("Unknown error status"), QStringLiteral("错误状态未知"), QStringLiteral("Неизвестная ошибка")}, // 0
    {QStringLiteral("Fuser error"), QStringLiteral("定影器错误"), QStringLiteral("Ошибка печки")},                  // 1
    {QStringLiteral("Damaged laser"), QStringLiteral("激光损坏"), QStringLiteral("Поврежден лазер")},               // 2
    {QStringLiteral("Scanner not detected"), QStringLiteral("未检测到扫描仪"),
     QStringLiteral("Сканер не обнаружен")},                                                                   // 3
    {QStringLiteral("Printer fault"), QStringLiteral("打印机故障"), QStringLiteral("Неисправность принтера")}, // 4
    {QStringLiteral("High printer temperature"), QStringLiteral("打印机温度较高"),
     QStringLiteral("Высокая температура принтера")}, // 5
    {QStringLiteral("Front cover opened"), QStringLiteral("前盖已打开"),
     QStringLiteral("Передняя крышка открыта")}, // 6
    {QStringLiteral("Cartridge with an unsupported serial number inserted"),
     QStringLiteral("插入了不支持的序列号的碳粉盒"), QStringLiteral("")}, // 7
    {QStringLiteral("Printer and cartridge do not match"), QStringLiteral("打印机和碳粉盒不匹配"),
     QStringLiteral("")},                                                                             // 8
    {QStringLiteral("Toner cartridge is invalid"), QStringLiteral("碳粉盒无效"), QStringLiteral("")}, // 9
    {QStringLiteral("Toner cartridge error"), QStringLiteral("碳粉盒错误"),
     QStringLiteral("Ошибка тонер-картриджа")},                                                     // 10
    {QStringLiteral("Toner level low"), QStringLiteral("碳粉不足"), QStringLiteral("Мало тонера")}, // 11
    {QStringLiteral("Out of toner. Printing will be poor quality if continuing"),
     QStringLiteral("碳粉已用完，继续打印将影响质量"),
     QStringLiteral("Заканчивается тонер. Если продолжить печать, то отпечатки будут плохого качества")}, // 12
    {QStringLiteral("Out of toner. Please change the toner cartridge"), QStringLiteral("碳粉已用完，请更换碳粉盒"),
     QStringLiteral("Нет тонера. Замените тонер-картридж")},                                              // 13
    {QStringLiteral("Toner level low"), QStringLiteral("碳粉不足"), QStringLiteral("Мало тонера")},       // 14
    {QStringLiteral("Cartridge will be full"), QStringLiteral("碳粉盒寿命将要耗尽"), QStringLiteral("")}, // 15
    {QStringLiteral("Cartridge's life is full"), QStringLiteral("碳粉盒寿命已耗尽"), QStringLiteral("")}, // 16
    {QStringLiteral("Toner cartridge not detected"), QStringLiteral("没有检测到碳粉盒"),
     QStringLiteral("Не обнаружен тонер-картридж")}, // 17
    {QStringLiteral("Waste toner container will be full"), QStringLiteral("废粉箱将满"),
     QStringLiteral("Емкость для отработанного тонера почти заполнена")}, // 18
    {QStringLiteral("Waste toner container is full"), QStringLiteral("废粉箱已满"),
     QStringLiteral("Емкость для отработанного тонера заполнена")}, // 19
    {QStringLiteral("Toner cartridge will reach limit of printing pages"), QStringLiteral("碳粉盒打印页数将达到极限"),
     QStringLiteral("Тонер-картридж заканчивается")}, // 20
    {QStringLiteral("Reached limit of printing pages"), QStringLiteral("打印页数已达到极限"),
     QStringLiteral("Достигнуто максимальное количество напечатанных страниц")}, // 21
    {QStringLiteral("This printer will run beyond its designed service life"), QStringLiteral("本机将要超过设计寿命！"),
     QStringLiteral("Это принтер будет работать сверх своего pзаявленного срока службы")}, // 22
    {QStringLiteral("This printer has run beyond its designed service life"), QStringLiteral("本机已超过设计寿命！"),
     QStringLiteral("Это принтер работает сверх своего заявленного срока службы")}, // 23
    {QStringLiteral("Insufficient memory"), QStringLiteral("设备内存不足"),
     QStringLiteral("Недостаточно памяти")}, // 24
    {QStringLiteral("High printer temperature. Please try printing later"),
     QStringLiteral("打印机温度稍高，请稍候再打印"),
     QStringLiteral("Высокая температура принтера. Попробуйте позднее")},                                 // 25
    {QStringLiteral("ADF paper jam"), QStringLiteral("ADF卡纸"), QStringLiteral("Замятие бумаги ADF")},   // 26
    {QStringLiteral("No paper in ADF"), QStringLiteral("ADF中无纸"), QStringLiteral("Нет бумаги в ADF")}, // 27
    {QStringLiteral("ADF failure to pick paper"), QStringLiteral("ADF抽纸失败"),
     QStringLiteral("Неисправность ADF с захватом бумаги")},                                                   // 28
    {QStringLiteral("Invalid setting"), QStringLiteral("设置无效"), QStringLiteral("Неправильные настройки")}, // 29
    {QStringLiteral("No paper in paper tray"), QStringLiteral("纸盘中无纸"),
     QStringLiteral("Нет бумаги в лотке подачи")}, // 30
    {QStringLiteral("No paper in manual paper feeder"), QStringLiteral("手动进纸器中无纸"),
     QStringLiteral("Нет бумаги в ручном податчике бумаги")}, // 31
    {QStringLiteral("Abnormal manual paper feeder"), QStringLiteral("手动进纸器异常"),
     QStringLiteral("Ошибка ручной подачи")}, // 32
    {QStringLiteral("Improper paper source"), QStringLiteral("纸张来源不匹配"),
     QStringLiteral("Неправильный источник бумаги")}, // 33
    {QStringLiteral("Paper jam in device"), QStringLiteral("设备内卡纸"),
     QStringLiteral("Замятие бумаги в устройстве")}, // 34
    {QStringLiteral("Paper jam in paper cartridge"), QStringLiteral("纸盒内卡纸"),
     QStringLiteral("Замятие бумаги в картридже")}, // 35
    {QStringLiteral("Paper jam from the rear"), QStringLiteral("设备后部卡纸"),
     QStringLiteral("Замятие бумаги сзади")}, // 36
    {QStringLiteral("Improper paper size"), QStringLiteral("纸张尺寸不匹配"),
     QStringLiteral("Неправильный размер бумаги")}, // 37
    {QStringLiteral("Initial setting error"), QStringLiteral("初始设置错误"),
     QStringLiteral("Ошибка при установке")}, // 38
    {QStringLiteral("Flat-bed scanner error"), QStringLiteral("平板扫描出错"),
     QStringLiteral("Ошибка планшетного сканера")},                                                     // 39
    {QStringLiteral("No paper in ADF"), QStringLiteral("ADF无纸"), QStringLiteral("Нет бумаги в ADF")}, // 40
    {QStringLiteral("File over-sized"), QStringLiteral("文件大小超过限制"),
     QStringLiteral("Превышен размер файла")},                                                                 // 41
    {QStringLiteral("Printer fault"), QStringLiteral("打印机故障"), QStringLiteral("Неисправность принтера")}, // 42
    {QStringLiteral("IP setting error"), QStringLiteral("IP设置错误"),
     QStringLiteral("Ошибка настройки IP-адреса")}, // 43
    {QStringLiteral("IP address conflict. Please set again"), QStringLiteral("IP地址冲突，请重新设置"),
     QStringLiteral("Конфликт IP-адресов. Установите снова")}, // 44
};

// One row per value: a value added to an enumeration without its row does not compile.
static_assert(sizeof(c_strStatusLanguageText) / sizeof(c_strStatusLanguageText[0]) == en_Status_Count,
              "c_strStatusLanguageText needs one row per enPrinterStatus value");
static_assert(sizeof(c_strErrorDescText) / sizeof(c_strErrorDescText[0]) == en_Error_Count,
              "c_strErrorDescText needs one row per enErrorStatus value");

namespace {

QString Cell(const QString (*table)[3], int iRows, int iRow, int iLanguage)
{
    if (iRow < 0 || iRow >= iRows || iLanguage < 0 || iLanguage > 2)
        return QString();
    return table[iRow][iLanguage];
}

} // namespace

QString StatusText(int enStatus, int iLanguage)
{
    return Cell(c_strStatusLanguageText, en_Status_Count, enStatus, iLanguage);
}

QString ErrorText(int enError, int iLanguage) { return Cell(c_strErrorDescText, en_Error_Count, enError, iLanguage); }

QString RemainingTonerText(quint64 dwRemainingToner)
{
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%.2f%%", double(dwRemainingToner) / 100.0);
    return QString::fromLatin1(szText);
}

QString StatusCellText(const stPrinterState& state, int iLanguage)
{
    if (!state.listErrorStatus.isEmpty())
        return ErrorText(state.listErrorStatus.first(), iLanguage);
    QString strText = StatusText(state.enCurrentStatus, iLanguage);
    if (!state.listWarningStatus.isEmpty() && state.enCurrentStatus == en_Status_Printing)
        strText += "(" + ErrorText(state.listWarningStatus.first(), iLanguage) + ")";
    return strText;
}
