#pragma once

// The commissioning bar: one row under the window's buttons with the profile in use, the
// address rule, "Пуск", the result of the last device (it stays until the next one starts), the
// day's count and "Завершить". It only shows and reports clicks; CommissionController runs it.

#include <QWidget>

class NoteLabel;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

class CommissionBar : public QWidget
{
    Q_OBJECT

public:
    explicit CommissionBar(QWidget *parent = nullptr);

    void setProfile(const QString &file, const QString &comment);
    // The address rule: the device keeps its own address and ДУТ number, takes the profile's, or
    // gets the next free address from `addressFrom()` up.
    enum class Rule { Keep, Profile, NextFree };
    Rule rule() const;
    int addressFrom() const;
    void setRule(Rule rule, int from);
    // A receiver's address is always 254: the rule is not offered, the bar says so.
    void setReceiver(bool receiver);
    // A device is being set up: "Пуск" waits, the line says so.
    void setRunning();
    void setResult(const QString &text, bool ok);
    QString result() const;
    // Said in amber after the result (an address the journal shows given already); empty hides it.
    void setNote(const QString &text);
    QString note() const;
    void setCounts(int written, int failed);

signals:
    void startClicked();
    void finishClicked();
    void ruleChanged();

private:
    QLabel *m_profile;
    QComboBox *m_rule;
    QSpinBox *m_from;
    QLabel *m_receiver;
    QPushButton *m_start;
    NoteLabel *m_result;
    NoteLabel *m_note;
    QLabel *m_counts;
};
