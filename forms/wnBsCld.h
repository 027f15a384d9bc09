#pragma once
// The child-window base: an MDI child of the host's main window with a tool bar
// in a cool bar and two menu items that merge into the host's menu bar. Closing
// it frees it.
#include "forms/wnBase.h"

class QFrame;
class QMenu;
class QSettings;
class QToolBar;
class QVBoxLayout;

class TfrmBsCld : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmBsCld(TComponent* AOwner = nullptr);
    ~TfrmBsCld() override;

    void FormCreate() override;
    // Centred, as every window; its frame carries the form's icon.
    void FormShow() override;
    void FormClose(TCloseAction& Action) override;

    // The frame's place, size and maximised state under the settings' current
    // group; restored within the screen there is now (another screen, a smaller
    // main window): no larger than it and wholly on it.
    void SaveFrameState(QSettings& Settings) const;
    void RestoreFrameState(const QSettings& Settings);

protected:
    QMenu* mitemOption = nullptr;
    QMenu* mitemDataVind = nullptr;
    QFrame* ctblChild = nullptr;
    QToolBar* tblChildMain = nullptr;

    // The form's top-to-bottom layout: the cool bar first, descendants add below it.
    QVBoxLayout* FormLayout() const { return FFormLayout; }

private:
    QVBoxLayout* FFormLayout = nullptr;
};
