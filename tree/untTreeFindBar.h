#pragma once
// Finding a unit: a small bar over an organisation tree that searches its unit
// codes and names (TTreeSearch), also of units whose branch has not been opened,
// and says what it found or why nothing.
#include "data/untError.h"
#include <QFrame>
#include <QPointer>
#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;
class TComponent;
class TDynamicTree;
class TTreeSearch;

class TTreeFindBar : public QFrame {
    Q_OBJECT
public:
    // Made hidden. Its search (DytFind) is a component of Owner, so that it goes
    // with Owner's components, before their widgets.
    TTreeFindBar(QWidget* Parent, TDynamicTree* Tree, TComponent* Owner);
    ~TTreeFindBar() override;

    // Shown with its text selected, to be typed over or searched again.
    void Open();
    // Hidden; the focus, when in the bar, goes to the tree view.
    void Close();
    // Selects the first unit whose code or name contains Text (with Next, the one
    // after the match before) and shows the text, and what came of it, in the bar.
    // Done gets the unit's code, empty when none matched or the tree is not shown;
    // a failure is what the bar says. A newer search cancels this one.
    void Find(const QString& Text, bool Next, std::function<void(TResult<QString>)> Done);
    bool Searching() const;

private:
    QLineEdit* edtFind = nullptr;
    QToolButton* tbtnFindNext = nullptr;
    QLabel* lblFind = nullptr;
    QPointer<TTreeSearch> FSearch;
};
