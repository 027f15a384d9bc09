#pragma once
// Fillers of the filter drop-down boxes, with their initial selection taken from
// the host's values (the unit's secrecy flag, the DefaultBType system parameter).
// They raise no change event of the box.
class QComboBox;
class QString;

void FillSecretList(QComboBox* Box, bool WithAll, const QString& UnitSecretFlag);
void FillBudgetTypeList(QComboBox* Box, bool WithAll, bool WithTemporary, int DefaultBType);
