// What the settings tool's tests share besides the print service's files: a watcher
// that answers the tool's message boxes.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QtTest/QtTest>

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
    // Clicks the button; the texts of the boxes it brought up.
    QStringList Click(QWidget* pButton)
    {
        QTest::mouseClick(pButton, Qt::LeftButton);
        return TakeTexts();
    }

private slots:
    void SlotPoll();

private:
    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_listAnswers;
    QList<stShownBox> m_listBoxes;
    int m_iTaken = 0;
};
