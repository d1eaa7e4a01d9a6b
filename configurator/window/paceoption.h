#pragma once

// "Быстрый обмен": whether the sequencer decides a step as soon as its reply is complete and
// the line has been quiet for a short gap, instead of always waiting its whole period. The
// technician's choice is kept in the user's configuration; FastExchange=1 (or 0) under
// [settings] in "settings.conf" overrides it, and the menu item then shows the file's value,
// disabled, naming the file.

#include <QObject>

class QAction;

class PaceOption : public QObject
{
    Q_OBJECT
public:
    // `settingsConf` is the "settings.conf" that may fix the choice.
    PaceOption(const QString &settingsConf, QObject *parent = nullptr);

    QAction *action() const { return m_action; }
    bool fast() const;
    // The commissioning mode is fast unless "settings.conf" says FastExchange=0.
    void setCommissioning(bool on) { m_commissioning = on; }
    int gapMs() const { return m_gapMs; }

    static constexpr int kDefaultGapMs = 50;
    static constexpr int kWriteSettleMs = 100;   // after a frame that gets no answer

private:
    QAction *m_action;
    bool m_fixed = false;
    bool m_commissioning = false;
    int m_gapMs = kDefaultGapMs;
};
