#include "steps.h"

#include "protocol.h"

namespace steps {

namespace {

using A = ActionType;
using F = OnFailure;
constexpr Operation R = Operation::Read, W = Operation::Write;

const char *const kRadioWrite = "Не удалось сохранить настройки радиомодуля. Продолжить?";
const char *const kNoSettings = "Не удалось считать настройки контроллера";
const char *const kReadBack = "Записанные значения не подтверждены устройством. Записать ещё раз?";

// action, operation, bar maximum and value on the request, next on an answer and the bar
// then, failure, its text, next after Yes and the bar then, the register written.
const Step kSteps[] = {
    {Operation::None, 0, -1, A::none, -1, F::Ignore, nullptr, A::none, -1, 0, 0},
    // The read: identification, the module's subnet and power, the record, the table.
    {R, 10, 1, A::setComandRegim, 2, F::Notice, "Нет ответа от контроллера", A::none, -1, 0, 0},         // readVersion
    {R, 0, 7, A::readMassive, 8, F::Notice, kNoSettings, A::none, -1, 0, 0},                             // readSetting
    {R, 0, -1, A::readCHA, -1, F::GoOn, nullptr, A::readCHA, -1, 0, 0},                                  // setComandRegim
    {R, 0, 3, A::readPower, 4, F::Question,
     "Не удалось считать доступные каналы. Проверьте питание. Продолжить?", A::readPower, 4, 0, 0},      // readCHA
    {R, 0, 5, A::setDataRegim, 6, F::Question,
     "Не удалось считать доступные мощности. Проверьте питание. Продолжить?", A::setDataRegim, 6, 0, 0}, // readPower
    {R, 0, -1, A::readSetting, 6, F::Question,
     "Не удалось перевести в режим передачи данных. Проверьте питание. Продолжить?", A::readSetting, 6, 0, 0}, // setDataRegim
    // The write: the five registers between "+++" and "ATO", the table, the record, then the
    // read-back. "Go on" after a failed step is the next step, never the same one again.
    {W, -1, 1, A::saveSimParam0, -1, F::Question, kRadioWrite, A::saveSimParam0, -1, 0, 0},     // saveSimParam
    {W, -1, 2, A::saveSimParam1, -1, F::Question, kRadioWrite, A::saveSimParam1, -1, 220, 0},   // saveSimParam0
    {W, -1, 3, A::saveSimParam2, -1, F::Question, kRadioWrite, A::saveSimParam2, -1, 250, 0},   // saveSimParam1
    {W, -1, 4, A::saveSimParam3, -1, F::Question, kRadioWrite, A::saveSimParam3, -1, 200, 0},   // saveSimParam2
    {W, -1, 5, A::saveSimParam31, -1, F::Question, kRadioWrite, A::saveSimParam31, -1, 202, 0}, // saveSimParam3
    {W, -1, 6, A::saveSimParam4, -1, F::Question, kRadioWrite, A::saveSimParam4, -1, 201, 0},   // saveSimParam31
    {W, -1, 7, A::saveMassive, -1, F::Question, kRadioWrite, A::saveMassive, -1, 0, 0},         // saveSimParam4
    {W, -1, 8, A::saveSetting, -1, F::Ignore, nullptr, A::saveSetting, -1, 0, 0},               // saveMassive
    {W, -1, 9, A::checkSetting, -1, F::Ignore, nullptr, A::checkSetting, -1, 0, 0},             // saveSetting
    {Operation::None, 0, -1, A::none, -1, F::Ignore, nullptr, A::none, -1, 0, 0},               // 16, unused
    {Operation::None, 0, -1, A::none, -1, F::Ignore, nullptr, A::none, -1, 0, 0},               // 17, unused
    {Operation::Poll, 255, -1, A::resiverInfo, -1, F::Repeat, nullptr, A::resiverInfo, -1, 0, 6},       // resiverInfo
    {Operation::Measure, 0, -1, A::transmiterInfo, -1, F::Ignore, nullptr, A::transmiterInfo, -1, 0, 0}, // transmiterInfo
    {R, 0, 9, A::none, 10, F::Notice, kNoSettings, A::none, -1, 0, 0},                                   // readMassive
    {W, -1, 10, A::checkMassive, 10, F::ReadBack, kReadBack, A::saveSimParam, -1, 0, 0},                 // checkSetting
    {W, -1, 11, A::none, 11, F::ReadBack, kReadBack, A::saveSimParam, -1, 0, 0},                         // checkMassive
};

static_assert(sizeof kSteps / sizeof kSteps[0] == int(ActionType::checkMassive) + 1,
              "one row per step, in the order of their values");

// The table is read and checked only where the firmware has one.
ActionType skipTable(ActionType a, quint16 version)
{
    if (!proto::hasWideAddresses(version) && (a == A::readMassive || a == A::checkMassive))
        return A::none;
    return a;
}

} // namespace

const Step &step(ActionType a)
{
    const int i = int(a);
    return i < int(sizeof kSteps / sizeof kSteps[0]) ? kSteps[i] : kSteps[0];
}

ActionType next(ActionType after, quint16 version)
{
    return skipTable(step(after).onAnswer, version);
}

ActionType afterYes(ActionType after, quint16 version)
{
    return skipTable(step(after).onYes, version);
}

int writeBarMaximum(quint16 version)
{
    return proto::hasWideAddresses(version) ? 11 : 10;
}

QString Trouble::brief() const
{
    if (error)
        return QStringLiteral("ERROR");
    if (noise)
        return QStringLiteral("лишние байты");
    if (late)
        return QStringLiteral("ответ опоздал");
    if (refused >= 0)
        return QStringLiteral("не принято: %1 байт вместо %2").arg(refused).arg(expected);
    return QStringLiteral("нет ответа");
}

QString requestText(const QByteArray &frame)
{
    const bool text = frame.size() > 2 && quint8(frame.back()) == 0x04;
    return text ? QString::fromLatin1(frame.mid(2, frame.size() - 3)).trimmed() : QString::fromLatin1(frame.toHex(' '));
}

const char *stoppedText(Operation op)
{
    switch (op) {
    case Operation::Read: return "Чтение остановлено";
    case Operation::Write: return "Запись остановлена";
    case Operation::Poll: return "Опрос передатчиков остановлен";
    case Operation::Measure: return "Измерение остановлено";
    case Operation::None: break;
    }
    return "";
}

} // namespace steps
