<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QObject</name>
    <message>
        <source>Ovra_PrintSetting</source>
        <translation>Ovra Laser Printing Tool</translation>
    </message>
    <message>
        <source>HomeForm.Label.Title</source>
        <translation>Laser Printing Tool</translation>
    </message>
    <message>
        <source>HomeForm.PNG.Network_Configuration</source>
        <translation>://Resource/button_net_en.png</translation>
    </message>
    <message>
        <source>BaseForm.Label.Printer_Name</source>
        <translation>Printer Name</translation>
    </message>
    <message>
        <source>BaseForm.Button.Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>BaseForm.Message_Button.Confirm</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>BaseForm.Message_Button.Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>NetForm.Label.Title</source>
        <translation>Network Configuration</translation>
    </message>
    <message>
        <source>NetForm.Label.IP_Acquisition_Method</source>
        <translation>IP access mode</translation>
    </message>
    <message>
        <source>NetForm.Label.IP_Address</source>
        <translation>IP Address</translation>
    </message>
    <message>
        <source>NetForm.Label.Subnet_Mask</source>
        <translation>Subnet Mask</translation>
    </message>
    <message>
        <source>NetForm.Label.Gateway_Address</source>
        <translation>Gateway Address</translation>
    </message>
    <message>
        <source>NetForm.Label.Primary_DNS_Server</source>
        <translation>Primary DNS Server</translation>
    </message>
    <message>
        <source>NetForm.Label.Secondary_DNS_Server</source>
        <translation>Secondary DNS Server</translation>
    </message>
    <message>
        <source>NetForm.Label.Primary_WINS_Server</source>
        <translation>Primary WINS Server</translation>
    </message>
    <message>
        <source>NetForm.Label.Secondary_WINS_Server</source>
        <translation>Secondary WINS Server</translation>
    </message>
    <message>
        <source>NetForm.Option.Static</source>
        <translation>Static</translation>
    </message>
    <message>
        <source>NetForm.Button.Read</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>NetForm.Button.Set</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>NetForm.Message.Required_Printer</source>
        <translation>Please select a printer!</translation>
    </message>
    <message>
        <source>NetForm.Message.Required_USB_Printer</source>
        <translation>Please select a printer connected via USB to operate!</translation>
    </message>
    <message>
        <source>NetForm.Message.Check_Printer_Model</source>
        <translation>Cannot support this printer model!</translation>
    </message>
    <message>
        <source>NetForm.Message.Failed_Data_Obtain</source>
        <translation>Failure to get data. Please try again later!</translation>
    </message>
    <message>
        <source>NetForm.Message.Failed_Device_Interface_Init</source>
        <translation>Failure to initialize the device interface!</translation>
    </message>
    <message>
        <source>NetForm.Message.Failed_Printer_Connection</source>
        <translation>Failure to connect the printer. Please check the connection status!</translation>
    </message>
    <message>
        <source>NetForm.Message.Failed_Printer_Ping</source>
        <translation>Failure to communicate with the printer, please check the printer status and try update again!</translation>
    </message>
    <message>
        <source>NetForm.Message.Error_Unknow</source>
        <translation>Unknown error!</translation>
    </message>
    <message>
        <source>NetForm.Message.Check_Address_Format</source>
        <translation>Incorrect address format!</translation>
    </message>
    <message>
        <source>NetForm.Message.Success_Setting</source>
        <translation>Setting is successful. Please wait until the printer is reconnected!</translation>
    </message>
    <message>
        <source>NetForm.Message.Fail_Get_Printer</source>
        <translation>Failed to get printer!</translation>
    </message>
    <message>
        <source>CleanForm.Label.Txt</source>
        <translation>Click button "Cleaning" to send the cleaning task. r\n If the printed pattern is closer to this pattern and the pattern is more complete, the cleaning is completed; \r\n For imcomplete printed pattern, click "Re clean" until the printed pattern is similar to this page.</translation>
    </message>
    <message>
        <source>CleanForm.Button.Clean</source>
        <translation>Cleaning</translation>
    </message>
    <message>
        <source>CleanForm.Button.Re_Clean</source>
        <translation>Re Clean</translation>
    </message>
    <message>
        <source>CleanForm.Message.Required_Printer</source>
        <translation>Please select a printer!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Check_Clean_Before</source>
        <translation>Before cleaning, please make sure that the printer is powered on and connected to the computer. Put A4 or Letter size plain paper in the paper tray.</translation>
    </message>
    <message>
        <source>CleanForm.Message.Check_Printer_Model</source>
        <translation>Cannot support this printer model!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Check_Clean_Send</source>
        <translation>Cleaning task sent already. Please check the printer. No other operation allowed until the cleaning is completed.</translation>
    </message>
    <message>
        <source>CleanForm.Message.Failed_Device_Interface_Init</source>
        <translation>Failure to initialize the device interface!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Failed_Printer_Connection</source>
        <translation>Failure to connect the printer. Please check the connection status!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Failed_Printer_Ping</source>
        <translation>Failure to communicate with the printer, please check the printer status and try update again!</translation>
    </message>
    <message>
        <source>CleanForm.Message.Error_Unknow</source>
        <translation>Unknown error!</translation>
    </message>
    <message>
        <source>AlignmentForm.Label.Title</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>AlignmentForm.Label.TipBefore</source>
        <translation>Select the number in the calibration sample that best conforms to the figure as shown according to the printed calibration page.</translation>
    </message>
    <message>
        <source>AlignmentForm.Label.TipAfter</source>
        <translation>Before calibration, make sure that the printer is powered on and connected to the computer. \r\n Put A4 or Letter size plain paper in the paper tray, and then click “Print Calibration Page”.</translation>
    </message>
    <message>
        <source>AlignmentForm.Button.Print</source>
        <translation>Print Calibration Page</translation>
    </message>
    <message>
        <source>AlignmentForm.Button.Finish</source>
        <translation>Calibration completed</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Required_Printer</source>
        <translation>Please select a printer!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Check_Calibration_Before</source>
        <translation>Before calibration, make sure that the printer is powered on and connected to the computer. Put A4 or Letter size plain paper in the paper tray.</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Check_Printer_Model</source>
        <translation>Cannot support this printer model!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Check_Calibration_Send</source>
        <translation>Calibration task sent already. Please check the printer. No other operation allowed until the calibration is completed.</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Failed_Device_Interface_Init</source>
        <translation>Failure to initialize the device interface!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Failed_Printer_Connection</source>
        <translation>Failure to connect the printer. Please check the connection status!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Failed_Printer_Ping</source>
        <translation>Failure to communicate with the printer, please check the printer status and try update again!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Error_Unknow</source>
        <translation>Unknown error!</translation>
    </message>
    <message>
        <source>AlignmentForm.Message.Calibration_Completed</source>
        <translation>Calibration completed.</translation>
    </message>
</context>
</TS>
