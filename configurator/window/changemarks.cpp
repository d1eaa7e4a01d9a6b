#include "changemarks.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QPalette>
#include <QSpinBox>

#include <qwt_abstract_slider.h>

namespace {

// A marked control takes one colour for its face, its field or square and its background; the form's
// palette (a disabled box stays green) and the group boxes' style stay as they are. (A style
// sheet rule would do the same but makes every widget of the window measure itself anew.)
const QColor kMark(255, 214, 102);

void setMark(QWidget *w, bool on, const QString &tip = QString())
{
    const bool was = w->property("changed").toBool();
    if (on && !was) {
        w->setProperty("unmarkedToolTip", w->toolTip());
        w->setProperty("unmarkedPalette", QVariant::fromValue(w->palette()));
        w->setProperty("unmarkedFill", w->autoFillBackground());
    }
    if (on) {
        w->setToolTip(QStringLiteral("<p style='white-space:pre'>%1</p>").arg(tip.toHtmlEscaped()));
    } else if (was) {
        w->setToolTip(w->property("unmarkedToolTip").toString());
        w->setPalette(w->property("unmarkedPalette").value<QPalette>());
        w->setAutoFillBackground(w->property("unmarkedFill").toBool());
    }
    if (was == on)
        return;
    w->setProperty("changed", on);
    if (on) {
        QPalette marked = w->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window})
                marked.setColor(group, role, kMark);
        }
        w->setPalette(marked);
        // A check box shows it in its square; a plain widget (the knob's) needs its background filled.
        w->setAutoFillBackground(!qobject_cast<QAbstractButton *>(w));
    }
}

} // namespace

ChangeMarks::ChangeMarks(QObject *parent, Now now, Boxes boxes)
    : QObject(parent)
    , now(std::move(now))
    , boxes(std::move(boxes))
{
    idle.setSingleShot(true);
    idle.setInterval(0);
    connect(&idle, &QTimer::timeout, this, &ChangeMarks::update);
    count = new QLabel;
    count->setObjectName(QStringLiteral("unwrittenCount"));
    count->hide();
}

void ChangeMarks::read(const proto::DeviceConfig &c)
{
    reference.read(c);
    schedule();
}

void ChangeMarks::written(const proto::DeviceConfig &readBack, const QStringList &skipped)
{
    reference.written(readBack, skipped);
    schedule();
}

void ChangeMarks::forget()
{
    reference.forget();
    schedule();
}

QList<proto::Change> ChangeMarks::changes() const
{
    return reference.values() ? proto::changes(*reference.values(), now()) : QList<proto::Change>();
}

void ChangeMarks::watch(QWidget *root)
{
    for (QSpinBox *box : root->findChildren<QSpinBox *>())
        connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, &ChangeMarks::schedule);
    for (QComboBox *box : root->findChildren<QComboBox *>())
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &ChangeMarks::schedule);
    for (QAbstractButton *box : root->findChildren<QAbstractButton *>()) {
        if (box->isCheckable())
            connect(box, &QAbstractButton::toggled, this, &ChangeMarks::schedule);
    }
    for (QwtAbstractSlider *knob : root->findChildren<QwtAbstractSlider *>())
        connect(knob, &QwtAbstractSlider::valueChanged, this, &ChangeMarks::schedule);
}

void ChangeMarks::update()
{
    const QList<proto::Change> list = changes();
    QHash<QWidget *, QStringList> tips;
    for (const proto::Change &c : list) {
        for (QWidget *w : boxes(c)) {
            if (w)
                tips[w] << QStringLiteral("На устройстве: %1").arg(c.before);
        }
    }
    for (const QPointer<QWidget> &w : qAsConst(marked)) {
        if (w && !tips.contains(w))
            setMark(w, false);
    }
    marked.clear();
    for (auto it = tips.cbegin(); it != tips.cend(); ++it) {
        setMark(it.key(), true, it.value().join(QLatin1Char('\n')));
        marked << it.key();
    }
    count->setText(QStringLiteral("Не записано изменений: %1").arg(list.size()));
    count->setVisible(!list.isEmpty());
}
