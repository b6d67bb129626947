<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>QObject</name>
    <message>
        <source>Ovra_PrintSetting</source>
        <translation>Ovra: инструмент лазерной печати</translation>
    </message>
    <message>
        <source>HomeForm.Label.Title</source>
        <translation>Лазерная печать</translation>
    </message>
    <message>
        <source>HomeForm.PNG.Network_Configuration</source>
        <translation>://Resource/button_net_ru.png</translation>
    </message>
    <message>
        <source>BaseForm.Label.Printer_Name</source>
        <translation>Имя принтера</translation>
    </message>
    <message>
        <source>BaseForm.Button.Back</source>
        <translation>Назад</translation>
    </message>
    <message>
        <source>BaseForm.Message_Button.Confirm</source>
        <translation>Ввод</translation>
    </message>
    <message>
        <source>BaseForm.Message_Button.Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>NetForm.Label.Title</source>
        <translation>Настройка сети</translation>
    </message>
    <message>
        <source>NetForm.Label.IP_Acquisition_Method</source>
        <translation>Способ получения IP</translation>
    </message>
    <message>
        <source>NetForm.Label.IP_Address</source>
        <translation>IP-адрес</translation>
    </message>
    <message>
        <source>NetForm.Label.Subnet_Mask</source>
        <translation>Маска подсети</translation>
    </message>
    <message>
        <source>NetForm.Label.Gateway_Address</source>
        <translation>Адрес шлюза</translation>
    </message>
    <message>
        <source>NetForm.Label.Primary_DNS_Server</source>
        <translation>Основной DNS</translation>
    </message>
    <message>
        <source>NetForm.Label.Secondary_DNS_Server</source>
        <translation>Резервный DNS</translation>
    </message>
    <message>
        <source>NetForm.Label.Primary_WINS_Server</source>
        <translation>Основной WINS</translation>
    </message>
    <message>
        <source>NetForm.Label.Secondary_WINS_Server</source>
        <translation>Резервный WINS</translation>
    </message>
    <message>
        <source>NetForm.Option.Static</source>
        <translation>Статический</translation>
    </message>
    <message>
        <source>NetForm.Button.Read</source>
        <translation>Прочитать</translation>
    </message>
    <message>
        <source>NetForm.Button.Set</source>
        <translation>Установить</translation>
    </message>
    <message>
        <source>NetForm.Message.Required_Printer</source>
        <translation>Выберите принтер!</translation>
    </message>
    <message>
        <source>NetForm.Message.Required_USB_Printer</source>
        <translation>Выберите принтер, подключённый по USB!</translation>
    </message>
    <message>
        <source>NetForm.Message.Check_Printer_Model</source>
        <translation>Эта модель принтера не поддерживается!</translation>
    </message>
    <message>
        <source>NetForm.Message.Failed_Data_Obtain</source>
        <translation>Не удалось получить данные. Повторите попытку позже!</translation>
    </message>
    <message>
        <source>NetForm.Message.Failed_Device_Interface_Init</source>
        <translation>Не удалось инициализировать интерфейс устройства!</translation>
    </message>
    <message>
        <source>NetForm.Message.Failed_Printer_Connection</source>
        <translation>Не удалось подключиться к принтеру. Проверьте подключение!</translation>
    </message>
    <message>
        <source>NetForm.Message.Failed_Printer_Ping</source>
        <translation>Нет связи с принтером. Проверьте состояние принтера и повторите попытку!</translation>
    </message>
    <message>
        <source>NetForm.Message.Error_Unknow</source>
        <translation>Неизвестная ошибка!</translation>
    </message>
    <message>
        <source>NetForm.Message.Check_Address_Format</source>
        <translation>Неверный формат адреса!</translation>
    </message>
    <message>
        <source>NetForm.Message.Success_Setting</source>
        <translation>Настройка выполнена. Дождитесь повторного подключения принтера!</translation>
    </message>
    <message>
        <source>NetForm.Message.Fail_Get_Printer</source>
        <translation>Не удалось связаться с принтером!</translation>
    </message>
    <message>
        <source>CleanForm.Label.Txt</source>
        <translation>Нажмите «Очистка». Если отпечаток похож на этот образец и полон, очистка завершена; если нет, нажимайте «Очистить снова».</translation>
    </message>
    <message>
        <source>CleanForm.Button.Clean</source>
        <translation>Очистка</translation>
    </message>
    <message>
        <source>CleanForm.Button.Re_Clean</source>
        <translation>Очистить снова</translation>
    </message>
    <message>
        <source>CleanForm.Message.Required_Printer</source>
        <translation>Выберите принтер!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Check_Clean_Before</source>
        <translation>Перед очисткой убедитесь, что принтер включён и подключён к компьютеру. Положите в лоток обычную бумагу формата A4 или Letter.</translation>
    </message>
    <message>
        <source>CleanForm.Message.Check_Printer_Model</source>
        <translation>Эта модель принтера не поддерживается!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Check_Clean_Send</source>
        <translation>Задание очистки отправлено. Проверьте принтер. До окончания очистки другие действия недоступны.</translation>
    </message>
    <message>
        <source>CleanForm.Message.Failed_Device_Interface_Init</source>
        <translation>Не удалось инициализировать интерфейс устройства!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Failed_Printer_Connection</source>
        <translation>Не удалось подключиться к принтеру. Проверьте подключение!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Failed_Printer_Ping</source>
        <translation>Нет связи с принтером. Проверьте состояние принтера и повторите попытку!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Error_Unknow</source>
        <translation>Неизвестная ошибка!</translation>
    </message>
    <message>
        <source>AlignmentForm.Label.Title</source>
        <translation>Калибровка</translation>
    </message>
    <message>
        <source>AlignmentForm.Label.TipBefore</source>
        <translation>Выберите номер лучше всего совпадающего образца.</translation>
    </message>
    <message>
        <source>AlignmentForm.Label.TipAfter</source>
        <translation>Включите принтер, подключите его к компьютеру, положите в лоток бумагу A4 или Letter и нажмите «Печать теста».</translation>
    </message>
    <message>
        <source>AlignmentForm.Button.Print</source>
        <translation>Печать теста</translation>
    </message>
    <message>
        <source>AlignmentForm.Button.Finish</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Required_Printer</source>
        <translation>Выберите принтер!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Check_Calibration_Before</source>
        <translation>Перед калибровкой убедитесь, что принтер включён и подключён к компьютеру. Положите в лоток обычную бумагу формата A4 или Letter.</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Check_Printer_Model</source>
        <translation>Эта модель принтера не поддерживается!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Check_Calibration_Send</source>
        <translation>Задание калибровки отправлено. Проверьте принтер. До окончания калибровки другие действия недоступны.</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Failed_Device_Interface_Init</source>
        <translation>Не удалось инициализировать интерфейс устройства!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Failed_Printer_Connection</source>
        <translation>Не удалось подключиться к принтеру. Проверьте подключение!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Failed_Printer_Ping</source>
        <translation>Нет связи с принтером. Проверьте состояние принтера и повторите попытку!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Error_Unknow</source>
        <translation>Неизвестная ошибка!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Calibration_Completed</source>
        <translation>Калибровка завершена.</translation>
    </message>
</context>
</TS>
