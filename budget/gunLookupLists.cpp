#include "budget/gunLookupLists.h"
#include <QComboBox>
#include <QSignalBlocker>

namespace {

const QString AllEntry = QStringLiteral("<全部>");

// An index the list does not have would leave the box (and the window's filter)
// without a selection: fall back to the first entry.
void SelectIndex(QComboBox* Box, int index)
{
    Box->setCurrentIndex(index >= 0 && index < Box->count() ? index : 0);
}

}  // namespace

void FillSecretList(QComboBox* Box, bool WithAll, const QString& UnitSecretFlag)
{
    if (!Box)
        return;
    const QSignalBlocker block(Box);
    Box->clear();
    Box->addItem(QStringLiteral("密"));
    Box->addItem(QStringLiteral("非密"));
    if (WithAll)
        Box->addItem(AllEntry);
    Box->setCurrentIndex(UnitSecretFlag == QLatin1String("1") ? 1 : 0);
}

void FillBudgetTypeList(QComboBox* Box, bool WithAll, bool WithTemporary, int DefaultBType)
{
    if (!Box)
        return;
    const QSignalBlocker block(Box);
    Box->clear();
    if (WithAll)
        Box->addItem(AllEntry);
    Box->addItem(QStringLiteral("控制数"));
    Box->addItem(QStringLiteral("预算数"));
    if (WithTemporary) {
        Box->addItem(QStringLiteral("临时指标"));
        SelectIndex(Box, DefaultBType);
    } else {
        SelectIndex(Box, DefaultBType == 2 ? 0 : DefaultBType);
    }
}
