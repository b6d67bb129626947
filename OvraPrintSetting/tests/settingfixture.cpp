#include "settingfixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>

MessageBoxAnswerer::MessageBoxAnswerer()
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::SlotPoll);
    m_timer.start(20);
}

QStringList MessageBoxAnswerer::Texts() const
{
    QStringList texts;
    for (const stShownBox& box : m_listBoxes)
        texts << box.strText;
    return texts;
}

QStringList MessageBoxAnswerer::TakeTexts()
{
    const QStringList texts = Texts().mid(m_iTaken);
    m_iTaken = m_listBoxes.size();
    return texts;
}

void MessageBoxAnswerer::SlotPoll()
{
    QMessageBox* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!pBox || !pBox->isVisible() || pBox->property("answered").toBool())
        return;
    pBox->setProperty("answered", true);
    stShownBox shown;
    shown.strTitle = pBox->windowTitle();
    shown.strText = pBox->text();
    shown.enIcon = pBox->icon();
    for (QAbstractButton* pButton : pBox->buttons())
        shown.listButtons << pButton->text();
    if (pBox->defaultButton())
        shown.strDefaultButton = pBox->defaultButton()->text();
    m_listBoxes << shown;

    const QMessageBox::StandardButton answer = m_listAnswers.isEmpty() ? QMessageBox::Ok : m_listAnswers.takeFirst();
    QAbstractButton* pButton = pBox->button(answer);
    if (pButton)
        pButton->click();
    else
        pBox->reject();
}
