#pragma once

// How a write went, told once. The sequencer reports each write frame that leaves, each radio
// register the module takes or that the technician passes over, and every failure's cause; at
// the end this decides the one result that the status line and the journal both give, and the
// texts they show. No widgets.

#include "steps.h"

#include <QString>
#include <QStringList>

// The journal's word for a result: "проверено", "пропуски", "расхождения", "не проверено",
// "отменено", "остановлено", "связь потеряна".
QString resultWord(steps::WriteResult r);

class WriteReport
{
public:
    // How the sequencer ended the write: the read-back agrees, differs or went unanswered (and
    // the technician did not write again), No to a question, "Стоп" (Esc, another operation,
    // closing the window), or the port was lost.
    enum class End { Agrees, Differs, Unchecked, Declined, Stopped, Lost };

    // A new write to a device of this type: the last one is forgotten.
    void start(quint8 deviceType);
    // The read-back question answered Yes: the same values again. What was sent and taken
    // stays; registers passed over count anew; `otherwise` is how the write stands now.
    void again(End otherwise);
    void sent(ActionType step);        // the step's frame left
    void accepted(ActionType step);    // the module answered OK to the step's register
    void passedOver(ActionType step);  // Yes after the step failed: on without it
    void failed(const QString &cause); // "ATS220=0: ERROR", or the read-back's differences

    steps::WriteResult finish(End how);
    steps::WriteResult result() const { return m_result; }

    // The status line (empty for a stop or a lost port, which are told elsewhere).
    QString status(const QString &device, const QString &elapsed) const;
    // The frames that left, in words: "+++, S220, S250, таблица адресов, настройки контроллера".
    QString sentText() const;
    const QStringList &skipped() const { return m_skipped; }   // the registers passed over: "S220"
    QString details() const;   // the causes, and what a stop or a lost port left behind

private:
    QString m_table;
    QStringList m_sent, m_accepted, m_skipped, m_causes;
    bool m_frames = false;   // the table or the record left
    bool m_commandMode = false;   // "ATO" failed and was passed over: the module may stay in command mode
    End m_otherwise = End::Unchecked;
    steps::WriteResult m_result = steps::WriteResult::Checked;
};
