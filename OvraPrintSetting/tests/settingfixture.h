// What the settings tool's tests share: a temporary install root with a printer list
// file, and a watcher that answers the tool's message boxes.
#pragma once

#include "printerinfo.h"

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

class SettingFiles
{
public:
    SettingFiles();   // points OVRA_INSTALL_ROOT at a fresh folder
    void WriteList(const QList<stPrinterInfo>& list);
    void RemoveList();

    static stPrinterInfo Usb(const QString& name, const QString& serial, const QString& model = "P2200DN");
    static stPrinterInfo Network(const QString& name, const QString& address);

private:
    QTemporaryDir m_root;
};

// One message box the tool showed.
struct stShownBox {
    QString strTitle;
    QString strText;
    QStringList listButtons;
    QString strDefaultButton;
    QMessageBox::Icon enIcon = QMessageBox::NoIcon;
};

// Watches for the tool's modal message boxes and answers each: with the next queued
// answer, else with OK.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT
public:
    MessageBoxAnswerer();
    void QueueAnswer(QMessageBox::StandardButton button) { m_listAnswers << button; }
    QList<stShownBox> Boxes() const { return m_listBoxes; }
    QStringList Texts() const;
    // The texts shown since the last call.
    QStringList TakeTexts();

private slots:
    void SlotPoll();

private:
    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_listAnswers;
    QList<stShownBox> m_listBoxes;
    int m_iTaken = 0;
};
