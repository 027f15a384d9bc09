#pragma once
// The root window of the module: every window descends from it. It carries the
// flag that tells the plug-in entry how to show it, and it centres itself on the
// screen each time it becomes visible.
#include "toolkit/Forms.h"
#include <QMainWindow>     // Forms.h keeps guarded pointers to these
#include <QMdiSubWindow>
#include <cstdint>

class TfrmBase : public TForm {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmBase(TComponent* AOwner = nullptr);
    ~TfrmBase() override;

    // Non-zero: the plug-in entry shows the window with ShowModal, zero: with Show.
    std::uint8_t FModalShow = 0;

    // Places the window in the middle of the module's current screen object
    // (the host's once a call has handed it over).
    static void CenterOnScreen(TForm* AForm);

    // Descendants that handle these call the root handler first.
    void FormCreate() override;
    void FormDestroy() override;
    void FormShow() override;
};
