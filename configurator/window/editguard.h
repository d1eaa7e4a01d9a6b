#pragma once

// The questions before the window's values are lost: unwritten edits before a disconnect, a
// read or a profile replaces them, and closing the window while an exchange runs. Each has
// "Нет", the answer that sends and loses nothing, as its default button.

#include <QObject>

#include <functional>

class ChangeMarks;
class QWidget;

class EditGuard : public QObject
{
    Q_OBJECT

public:
    using Running = std::function<bool()>;
    using Stop = std::function<void()>;
    // Watches `window`'s close: while `running`, asks first, and `stop` ends the exchange
    // (taking the radio module back to data mode) before the window goes.
    EditGuard(QWidget *window, const ChangeMarks *marks, Running running, Stop stop);

    // Whether the window's values may be replaced: nothing unwritten, or the technician goes on.
    bool mayDrop() const;
    // The changed fields, one a line ("Канал связи: 3 → 5"), for another question's detail.
    QString changedList() const;
    // "Да" or "Нет" to `question`, "Нет" the default.
    static bool ask(QWidget *parent, const QString &question, const QString &detail = QString());

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window;
    const ChangeMarks *marks;
    Running running;
    Stop stop;
};
