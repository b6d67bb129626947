<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QObject</name>
    <message>
        <source>Ovra_Helper</source>
        <translation>Ovra Laser Printer Helper</translation>
    </message>
    <message>
        <source>MainWindow.Message.Running</source>
        <translation>is running now!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Confirm</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>MainWindow.Table.Printer_Name</source>
        <translation>Printer Name</translation>
    </message>
    <message>
        <source>MainWindow.Table.Connection_Mode</source>
        <translation>Connection Mode</translation>
    </message>
    <message>
        <source>MainWindow.Table.Remaining_Toner</source>
        <translation>Remaining Toner</translation>
    </message>
    <message>
        <source>MainWindow.Table.Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>MainWindow.Table_Content.Network</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>TrayIcon.Menu.Main_Display_Interface</source>
        <translation>Main Display Interface</translation>
    </message>
    <message>
        <source>TrayIcon.Menu.Printer_Update_Helper</source>
        <translation>Printer Update Helper</translation>
    </message>
    <message>
        <source>TrayIcon.Menu.Setting</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>TrayIcon.Menu.Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>SettingWindow.Title</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>SettingWindow.Checkbox.Auto_Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>SettingWindow.Button.Confirm</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>SettingWindow.Button.Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
