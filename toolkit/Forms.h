#pragma once
// Controls, forms, the application object and the screen object.
#include "toolkit/Classes.h"
#include "toolkit/SysUtils.h"
#include <QMainWindow>     // guarded pointers below need the complete types
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <type_traits>

class QMainWindow;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QEventLoop;
class TApplication;
class TWinControl;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TPosition {
    poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly,
    poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter
};
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCursor { crDefault = 0, crHourGlass = -11, crSQLWait = -17 };

// Message box buttons, icons and answers (the platform's values).
enum : int {
    MB_OK = 0x00, MB_OKCANCEL = 0x01, MB_YESNO = 0x04,
    MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30, MB_ICONINFORMATION = 0x40,
    IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7,
};
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

// A component that shows a widget (its "handle").
class TOOLKIT_EXPORT TControl : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TControl(TComponent* AOwner = nullptr);
    ~TControl() override;

    QWidget* Handle() const { return FHandle; }
    TWinControl* Parent() const { return FParent; }
    void SetParent(TWinControl* parent);

protected:
    TControl(TComponent* AOwner, QWidget* handle);
    QPointer<QWidget> FHandle;
    TWinControl* FParent = nullptr;
};

// A control that can hold other controls.
class TOOLKIT_EXPORT TWinControl : public TControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TWinControl(TComponent* AOwner = nullptr);
protected:
    TWinControl(TComponent* AOwner, QWidget* handle);
};

// A window: top-level, or an MDI child inside the application's main window.
class TOOLKIT_EXPORT TForm : public TWinControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TForm(TComponent* AOwner = nullptr);
    ~TForm() override;

    void AfterConstruction() override;
    void BeforeDestruction() override;

    void Show();
    int ShowModal();
    void Close();
    void Hide();
    void Release();              // frees the form once the current event has been handled

    bool Visible() const;
    bool Modal() const { return FModalLoop != nullptr; }
    QString Caption() const;
    void SetCaption(const QString& caption);

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int v);
    void SetTop(int v);
    void SetWidth(int v);
    void SetHeight(int v);
    void SetBounds(int l, int t, int w, int h);

    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition p) { FPosition = p; }
    TFormStyle FormStyle() const { return FFormStyle; }
    // fsMDIChild places the window in the MDI area of its application's main window;
    // raises EInvalidOperation when there is no such area.
    void SetFormStyle(TFormStyle style);
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState state);
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int r);

    // Form-state marks the creation code may look at.
    bool CreatedAsMDIChild() const { return FMdiFrame != nullptr; }
    bool PendingShow() const { return FPendingShow; }
    void SetPendingShow(bool v) { FPendingShow = v; }

    // The window's main menu: its top-level items are merged into the main window's
    // menu bar while this MDI child is the active one.
    const QList<QMenu*>& MenuItems() const { return FMenuItems; }
    QMenu* AddMenuItem(const QString& name, const QString& caption);

    // A control by its object name, as scripts and tests reach it. Widgets live
    // under the handle; components are the form's own; actions may also sit in
    // the menus, which are kept apart from the handle to be merged into the
    // host's bar (a menu and its own action carry the menu's name).
    template <class T>
    T* FindControl(const QString& name) const
    {
        if (QWidget* h = Handle())
            if (T* w = h->findChild<T*>(name))
                return w;
        if (T* o = findChild<T*>(name))
            return o;
        for (QMenu* m : FMenuItems) {
            if (m->objectName() == name)
                if (T* o = qobject_cast<T*>(m))
                    return o;
            if constexpr (std::is_same_v<T, QAction>)
                if (m->menuAction()->objectName() == name)
                    return m->menuAction();
            if (T* o = m->findChild<T*>(name))
                return o;
        }
        return nullptr;
    }

    // The outer frame that is shown: the MDI sub-window, or the handle itself.
    QWidget* Frame() const;
    QMdiSubWindow* MdiFrame() const { return FMdiFrame; }
    TApplication* OwnerApplication() const;   // the application object up the owner chain

    // Creation/show/close/destroy hooks (OnCreate, OnShow, OnClose, OnDestroy).
    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual void FormClose(TCloseAction& Action) { Q_UNUSED(Action); }
    virtual void FormDestroy() {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyGeometry();
    void DoShow();

    QPointer<QMdiSubWindow> FMdiFrame;
    QList<QMenu*> FMenuItems;
    QEventLoop* FModalLoop = nullptr;
    TPosition FPosition = poDesigned;
    TFormStyle FFormStyle = fsNormal;
    TWindowState FWindowState = wsNormal;
    int FLeft = 0, FTop = 0, FWidth = 320, FHeight = 240;
    int FModalResult = mrNone;
    bool FPendingShow = false;
    bool FCreated = false;
    bool FClosing = false;
};

// The application object: main window with its MDI area, exception and message boxes.
// Installs Qt's own translations of its dialogs and buttons (确定, 取消, ...) for
// the language of the module's texts; false when they are not installed.
TOOLKIT_EXPORT bool LoadQtTranslations();

class TOOLKIT_EXPORT TApplication : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TApplication(TComponent* AOwner = nullptr);
    ~TApplication() override;

    QMainWindow* MainWindow() const { return FMainWindow; }
    void SetMainWindow(QMainWindow* window);
    QMdiArea* MdiArea() const;

    QString ExeName() const;
    void SetExeName(const QString& path) { FExeName = path; }
    QString Title() const { return FTitle; }
    void SetTitle(const QString& title) { FTitle = title; }

    // Shows the exception's message (or hands it to OnException when set).
    void HandleException(QObject* Sender, const std::exception& e);
    int MessageBox(const QString& Text, const QString& Caption, int Flags);

    bool Terminated() const { return FTerminated; }
    void Terminate() { FTerminated = true; }

    // Hooks a host may set: every message box, every unhandled exception.
    std::function<int(const QString& text, const QString& caption, int flags)> OnMessageBox;
    std::function<void(QObject* sender, const QString& className, const QString& message)> OnException;

    // Menu merging of MDI children (called by the forms).
    void ChildActivated(TForm* form);
    void ChildGone(TForm* form);

private:
    QPointer<QMainWindow> FMainWindow;
    QPointer<TForm> FMerged;
    QString FExeName;
    QString FTitle;
    bool FTerminated = false;
};

// The screen object: size of the whole screen and the mouse cursor.
class TOOLKIT_EXPORT TScreen : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TScreen(TComponent* AOwner = nullptr);
    ~TScreen() override;
    int Width() const;
    int Height() const;
    // A host may fix the size it reports (tests, or a host that knows better).
    void SetSize(int width, int height) { FWidth = width; FHeight = height; }
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor);
private:
    int FWidth = 0, FHeight = 0;
    TCursor FCursor = crDefault;
    int FOverrides = 0;
};
