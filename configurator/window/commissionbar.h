#pragma once

// The commissioning bar: one row under the window's buttons with the profile in use, the
// address rule, "Пуск", the result of the last device (it stays until the next one starts), the
// day's count and "Завершить". It only shows and reports clicks; CommissionController runs it.

#include <QWidget>

class NoteLabel;
class QComboBox;
class QLabel;
class QPushButton;

class CommissionBar : public QWidget
{
    Q_OBJECT

public:
    explicit CommissionBar(QWidget *parent = nullptr);

    void setProfile(const QString &file, const QString &comment);
    // The address rule: the device keeps its own address and ДУТ number, or takes the profile's.
    bool keepAddress() const;
    void setKeepAddress(bool keep);
    // A device is being set up: "Пуск" waits, the line says so.
    void setRunning();
    void setResult(const QString &text, bool ok);
    QString result() const;
    void setCounts(int written, int failed);

signals:
    void startClicked();
    void finishClicked();
    void ruleChanged(bool keepAddress);

private:
    QLabel *m_profile;
    QComboBox *m_rule;
    QPushButton *m_start;
    NoteLabel *m_result;
    QLabel *m_counts;
};
