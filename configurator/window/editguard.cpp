#include "editguard.h"

#include "changemarks.h"
#include "plainbox.h"

#include <QEvent>
#include <QStringList>
#include <QWidget>

namespace {

constexpr int kListed = 5;   // fields named in the question; the rest counted

} // namespace

EditGuard::EditGuard(QWidget *window, const ChangeMarks *marks, Running running, Stop stop)
    : QObject(window)
    , window(window)
    , marks(marks)
    , running(std::move(running))
    , stop(std::move(stop))
{
    window->installEventFilter(this);
}

bool EditGuard::ask(QWidget *parent, const QString &question, const QString &detail)
{
    QMessageBox box(QMessageBox::Question, parent->windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    makePlain(box);
    return box.exec() == QMessageBox::Yes;
}

bool EditGuard::mayDrop() const
{
    const QList<proto::Change> list = marks->changes();
    if (list.isEmpty())
        return true;
    QStringList names;
    for (int i = 0; i < list.size() && i < kListed; ++i)
        names << list.at(i).field;
    QString fields = names.join(QStringLiteral("; "));   // a field's name may hold a comma
    if (list.size() > kListed)
        fields += QStringLiteral(" и ещё %1").arg(list.size() - kListed);
    return ask(window, QStringLiteral("В окне есть изменения, не записанные в устройство: %1. Продолжить без записи?")
                           .arg(fields));
}

QString EditGuard::changedList() const
{
    QStringList lines;
    for (const proto::Change &c : marks->changes())
        lines << proto::changeText(c);
    return lines.join(QLatin1Char('\n'));
}

bool EditGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window || event->type() != QEvent::Close || !running())
        return false;
    if (!ask(window, QStringLiteral("Идёт обмен с устройством. Прервать и закрыть?"))) {
        event->ignore();
        return true;
    }
    if (running())   // it may have ended while the question was open
        stop();
    return false;
}
