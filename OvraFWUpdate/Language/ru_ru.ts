<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>QObject</name>
    <message>
        <source>Ovra_Laser_Helper</source>
        <translation>Помощник обновления лазерного принтера Ovra</translation>
    </message>
    <message>
        <source>Ovra_Helper</source>
        <translation>Помощник обновления принтера Ovra</translation>
    </message>
    <message>
        <source>MainWindow.Label.Choose_Printer</source>
        <translation>Выберите принтер для обновления:</translation>
    </message>
    <message>
        <source>MainWindow.Label.Choose_Firmware</source>
        <translation>Выберите прошивку для обновления:</translation>
    </message>
    <message>
        <source>MainWindow.Button.Refresh_List</source>
        <translation>Обновить список</translation>
    </message>
    <message>
        <source>MainWindow.Button.View</source>
        <translation>Вид</translation>
    </message>
    <message>
        <source>MainWindow.Button.One_Click_Update</source>
        <translation>Обновление одним щелчком</translation>
    </message>
    <message>
        <source>MainWindow.Table.Printer_Name</source>
        <translation>Имя принтера</translation>
    </message>
    <message>
        <source>MainWindow.Table.Printer_Model</source>
        <translation>Модель принтера</translation>
    </message>
    <message>
        <source>MainWindow.Table.Connection_Mode</source>
        <translation>Режим соединения</translation>
    </message>
    <message>
        <source>MainWindow.Table.Connection_Status</source>
        <translation>Состояние соединения</translation>
    </message>
    <message>
        <source>MainWindow.Table_Content.Connected</source>
        <translation>Подключено</translation>
    </message>
    <message>
        <source>MainWindow.Table_Content.Not_Connected</source>
        <translation>Не подключено</translation>
    </message>
    <message>
        <source>MainWindow.Table_Content.Network</source>
        <translation>Сеть</translation>
    </message>
    <message>
        <source>MainWindow.Message_Button.Confirm</source>
        <translation>Ввод</translation>
    </message>
    <message>
        <source>MainWindow.Message_Button.Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>MainWindow.Message.Required_Printer</source>
        <translation>Выберите принтер!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Check_File_Path</source>
        <translation>Проверьте путь к файлу!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Check_Printer_Model</source>
        <translation>Нет поддержки этой модели принтера!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Whether_Update_Printer</source>
        <translation>Обновить принтер</translation>
    </message>
    <message>
        <source>MainWindow.Message.Close_While_Updating</source>
        <translation>Микропрограмма ещё передаётся на принтер. Не выключайте принтер и не отсоединяйте его до окончания обновления: прерванное обновление может вывести принтер из строя. Всё равно закрыть окно? Передача продолжится до конца.</translation>
    </message>
    <message>
        <source>MainWindow.Message.Failed_Read_File</source>
        <translation>Неудача чтения файла обновления. Проверьте состояние файла!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Success</source>
        <translation>Успех операции. Дождитесь завершения обновления принтера и не отключайте электропитание во время обновления.</translation>
    </message>
    <message>
        <source>MainWindow.Message.Failed_Device_Interface_Init</source>
        <translation>Неудача инициализации интерфейса устройства!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Failed_Printer_Connection</source>
        <translation>Неудача подключения принтера. Проверьте состояние соединения!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Failed_Printer_Ping</source>
        <translation>Неудача связи с принтером, проверьте состояние принтера и попробуйте обновить снова!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Error_Unknow</source>
        <translation>Неизвестная ошибка!</translation>
    </message>
</context>
</TS>
