#pragma once
// Fillers of the filter drop-down boxes, with their initial selection taken from
// the host's values. They raise no change event of the box.
class QComboBox;

void FillSecretList(QComboBox* Box, bool WithAll);
void FillBudgetTypeList(QComboBox* Box, bool WithAll, bool WithTemporary);
