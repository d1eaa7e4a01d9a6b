#pragma once

// Commissioning from a profile: "Файл" → "Пусконаладка по профилю…" shows the commissioning bar,
// and each "Пуск" takes one device through one pass: identification (a device of the other type
// is refused at once), one full read, the profile laid over it by the address rule, the write
// with its read-back and its journal line. No box is shown during a pass: where the window would
// ask or warn, the device ends red with that text. MainWindow only creates it.

#include "fleetaddresses.h"
#include "profile.h"
#include "steps.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

class CommissionBar;
class MainWindow;
class ProfileController;

class CommissionController : public QObject
{
    Q_OBJECT

public:
    CommissionController(MainWindow *window, ProfileController *profiles);

    // Enters the mode with the profile in `file`; returns why not, or an empty string. With
    // `addressFrom` the rule is "the next free address from `addressFrom` up".
    QString enter(const QString &file, int addressFrom = 0);
    // At start from the command line: a profile that cannot be read is told in a box and the
    // mode does not start; with `connect` the first pass starts at once on the chosen port.
    void enterAtStart(const QString &file, int addressFrom, bool connect);
    void leave();
    bool active() const { return !m_file.isEmpty(); }
    // "Пуск": one pass for the device on the selected port, opening it when it is closed.
    void start();
    CommissionBar *bar() const { return m_bar; }

signals:
    void passFinished(bool ok, const QString &result);

private:
    enum class Stage { Idle, Starting, Reading, Writing };

    void chooseProfile();
    void identified(quint8 deviceType, quint16 version);
    void readFinished(bool complete);
    void writeFinished(steps::WriteResult result);
    void boxInstead(const QString &text, const QString &detail);
    QString cause(const QString &otherwise) const;
    void saveRule();
    // The address by the rule; false when the pass has ended.
    bool giveAddress(proto::DeviceConfig &config);
    void finish(bool ok, const QString &text, bool deferBoxes = false);

    MainWindow *m_window;
    ProfileController *m_profiles;
    CommissionBar *m_bar;
    QString m_file;              // the profile in use; empty outside the mode
    profile::Profile m_profile;
    Stage m_stage = Stage::Idle;
    bool m_typeChecked = false;
    QString m_cause;             // the first box the pass would have shown
    QString m_causeDetail;       // and its detail, when it names values
    QString m_note;              // said in amber beside the result
    QStringList m_leftOut;       // the profile's fields the device's firmware lacks
    FleetAddresses m_fleet;      // the address this pass reserved
    QElapsedTimer m_clock;       // from "Пуск"
    int m_written = 0;
    int m_failed = 0;
};
