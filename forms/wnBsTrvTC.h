#pragma once
// The tree-and-two-pane child window: a tree on the left, an upper and a lower
// work area on the right, each with a message strip.
#include "forms/wnBsCld.h"

class QFrame;
class QSettings;
class QSplitter;
class QVBoxLayout;
class TTreeView;

class TfrmBsTrvTC : public TfrmBsCld {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmBsTrvTC(TComponent* AOwner = nullptr);
    ~TfrmBsTrvTC() override;

protected:
    QFrame* pnlBottom = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* pnlLeft = nullptr;
    TTreeView* trvList = nullptr;
    QFrame* pnlNo = nullptr;
    QSplitter* Splitter2 = nullptr;
    QFrame* pnlBTop = nullptr;
    QFrame* pnlRightTop = nullptr;
    QFrame* pnlTopMessage = nullptr;
    QFrame* pnlBBotton = nullptr;
    QFrame* pnlRightBottom = nullptr;
    QFrame* pnlBottonMessage = nullptr;

    // Where the user put the tree pane's splitter, under the settings' current group.
    void SaveSplitterState(QSettings& Settings) const;
    void RestoreSplitterState(const QSettings& Settings);

    // A panel as the layout draws it: raised, or without a bevel.
    static QFrame* NewPanel(QWidget* parent, const QString& name, bool bevel);
    // A top-to-bottom layout of the widget's, its parts without spacing.
    static QVBoxLayout* NewColumn(QWidget* w, int margin);
};
