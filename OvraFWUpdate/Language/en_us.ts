<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QObject</name>
    <message>
        <source>Ovra_Laser_Helper</source>
        <translation>Ovra Laser Printer Update Helper</translation>
    </message>
    <message>
        <source>Ovra_Helper</source>
        <translation>Ovra Printer Update Helper</translation>
    </message>
    <message>
        <source>MainWindow.Label.Choose_Printer</source>
        <translation>Select the printer to be updated:</translation>
    </message>
    <message>
        <source>MainWindow.Label.Choose_Firmware</source>
        <translation>Select the firmware to be updated:</translation>
    </message>
    <message>
        <source>MainWindow.Button.Refresh_List</source>
        <translation>Refresh the list</translation>
    </message>
    <message>
        <source>MainWindow.Button.View</source>
        <translation>View</translation>
    </message>
    <message>
        <source>MainWindow.Button.One_Click_Update</source>
        <translation>One-click update</translation>
    </message>
    <message>
        <source>MainWindow.Table.Printer_Name</source>
        <translation>Printer Name</translation>
    </message>
    <message>
        <source>MainWindow.Table.Printer_Model</source>
        <translation>Printer Model</translation>
    </message>
    <message>
        <source>MainWindow.Table.Connection_Mode</source>
        <translation>Connection Mode</translation>
    </message>
    <message>
        <source>MainWindow.Table.Connection_Status</source>
        <translation>Connection Status</translation>
    </message>
    <message>
        <source>MainWindow.Table_Content.Connected</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>MainWindow.Table_Content.Not_Connected</source>
        <translation>Not Connected</translation>
    </message>
    <message>
        <source>MainWindow.Table_Content.Network</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>MainWindow.Message_Button.Confirm</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>MainWindow.Message_Button.Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>MainWindow.Message.Required_Printer</source>
        <translation>Please select a printer!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Check_File_Path</source>
        <translation>Please check the file path!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Check_Printer_Model</source>
        <translation>Cannot support this printer model!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Whether_Update_Printer</source>
        <translation>Whether to update the printer</translation>
    </message>
    <message>
        <source>MainWindow.Message.Close_While_Updating</source>
        <translation>The firmware is still being sent to the printer. Do not switch the printer off or unplug it before the update has ended: an interrupted update can leave the printer unusable. Close the window anyway? The transfer goes on until it has ended.</translation>
    </message>
    <message>
        <source>MainWindow.Message.Failed_Read_File</source>
        <translation>Failure to read the update file. Please check the file status!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Success</source>
        <translation>Operation is successful. Please wait untill completion of the printer update, and don&apos;t disconnect the power supply while updating.</translation>
    </message>
    <message>
        <source>MainWindow.Message.Failed_Device_Interface_Init</source>
        <translation>Failure to initialize the device interface!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Failed_Printer_Connection</source>
        <translation>Failure to connect the printer. Please check the connection status!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Failed_Printer_Ping</source>
        <translation>Failure to communicate with the printer, please check the printer status and try update again!</translation>
    </message>
    <message>
        <source>MainWindow.Message.Error_Unknow</source>
        <translation>Unknown error!</translation>
    </message>
</context>
</TS>
