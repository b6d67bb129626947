<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>QObject</name>
    <message>
        <source>Ovra_Helper</source>
        <translation>Ovra Laser Printer Helper</translation>
    </message>
    <message>
        <source>MainWindow.Message.Running</source>
        <translation>работает сейчас!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Confirm</source>
        <translation>Ввод</translation>
    </message>
    <message>
        <source>MainWindow.Table.Printer_Name</source>
        <translation>Имя принтера</translation>
    </message>
    <message>
        <source>MainWindow.Table.Connection_Mode</source>
        <translation>Режим соединения</translation>
    </message>
    <message>
        <source>MainWindow.Table.Remaining_Toner</source>
        <translation>Остаток тонера</translation>
    </message>
    <message>
        <source>MainWindow.Table.Status</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>MainWindow.Table_Content.Network</source>
        <translation>Сеть</translation>
    </message>
    <message>
        <source>TrayIcon.Menu.Main_Display_Interface</source>
        <translation>Интерфейс главного дисплея</translation>
    </message>
    <message>
        <source>TrayIcon.Menu.Printer_Update_Helper</source>
        <translation>Помощник обновления принтера</translation>
    </message>
    <message>
        <source>TrayIcon.Menu.Setting</source>
        <translation>Установить</translation>
    </message>
    <message>
        <source>TrayIcon.Menu.Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>SettingWindow.Title</source>
        <translation>Установить</translation>
    </message>
    <message>
        <source>SettingWindow.Checkbox.Auto_Start</source>
        <translation>Пуск</translation>
    </message>
    <message>
        <source>SettingWindow.Button.Confirm</source>
        <translation>Ввод</translation>
    </message>
    <message>
        <source>SettingWindow.Button.Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
</TS>
