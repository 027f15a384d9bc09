#include "toolkit/Forms.h"
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* AOwner) : TControl(AOwner, new QWidget) {}

TControl::TControl(TComponent* AOwner, QWidget* handle) : TComponent(AOwner), FHandle(handle) {}

TControl::~TControl()
{
    delete FHandle.data();
}

void TControl::SetParent(TWinControl* parent)
{
    FParent = parent;
    if (FHandle)
        FHandle->setParent(parent ? parent->Handle() : nullptr);
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner, new QWidget) {}
TWinControl::TWinControl(TComponent* AOwner, QWidget* handle) : TControl(AOwner, handle) {}

// ---------------------------------------------------------------- TForm

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner, new QWidget)
{
    FHandle->installEventFilter(this);
    FHandle->setAttribute(Qt::WA_DeleteOnClose, false);
}

void TForm::BeforeDestruction()
{
    if (FCreated) {
        FCreated = false;
        FormDestroy();
    }
}

TForm::~TForm()
{
    if (FModalLoop)
        FModalLoop->exit(mrCancel);
    if (TApplication* app = OwnerApplication())
        app->ChildGone(this);
    for (QMenu* m : std::as_const(FMenuItems))
        delete m;
    FMenuItems.clear();
    if (FMdiFrame) {
        QMdiSubWindow* frame = FMdiFrame;
        FMdiFrame = nullptr;
        frame->removeEventFilter(this);
        FHandle->removeEventFilter(this);
        frame->setWidget(nullptr);
        delete frame;
    }
}

void TForm::AfterConstruction()
{
    FCreated = true;
    FormCreate();
    if (FPendingShow) {
        FPendingShow = false;
        Show();
    }
}

TApplication* TForm::OwnerApplication() const
{
    for (TComponent* o = Owner(); o; o = o->Owner())
        if (auto* app = qobject_cast<TApplication*>(o))
            return app;
    return nullptr;
}

QWidget* TForm::Frame() const
{
    if (FMdiFrame)
        return FMdiFrame.data();
    return FHandle.data();
}

void TForm::SetFormStyle(TFormStyle style)
{
    if (style == FFormStyle)
        return;
    if (style == fsMDIChild) {
        TApplication* app = OwnerApplication();
        QMdiArea* area = app ? app->MdiArea() : nullptr;
        if (!area)
            throw EInvalidOperation(QStringLiteral("Cannot create form. No MDI forms are currently active"));
        FMdiFrame = new QMdiSubWindow;
        FMdiFrame->setAttribute(Qt::WA_DeleteOnClose, false);
        FMdiFrame->setWidget(FHandle);
        FMdiFrame->setWindowTitle(FHandle->windowTitle());
        FMdiFrame->installEventFilter(this);
        area->addSubWindow(FMdiFrame);
        FMdiFrame->hide();
        // A created MDI child is made visible at the end of its creation unless its
        // creation code clears this mark.
        FPendingShow = true;
        ApplyGeometry();
    }
    FFormStyle = style;
}

void TForm::SetWindowState(TWindowState state)
{
    FWindowState = state;
    if (Visible()) {
        QWidget* f = Frame();
        if (state == wsMaximized)
            f->showMaximized();
        else if (state == wsMinimized)
            f->showMinimized();
        else
            f->showNormal();
    }
}

void TForm::SetModalResult(int r)
{
    FModalResult = r;
    if (r != mrNone && FModalLoop)
        Close();
}

QString TForm::Caption() const { return FHandle ? FHandle->windowTitle() : QString(); }

void TForm::SetCaption(const QString& caption)
{
    if (FHandle)
        FHandle->setWindowTitle(caption);
    if (FMdiFrame)
        FMdiFrame->setWindowTitle(caption);
}

bool TForm::Visible() const
{
    QWidget* f = Frame();
    return f && f->isVisible();
}

int TForm::Left() const { return FLeft; }
int TForm::Top() const { return FTop; }
int TForm::Width() const { return FWidth; }
int TForm::Height() const { return FHeight; }
void TForm::SetLeft(int v) { FLeft = v; ApplyGeometry(); }
void TForm::SetTop(int v) { FTop = v; ApplyGeometry(); }
void TForm::SetWidth(int v) { FWidth = v; ApplyGeometry(); }
void TForm::SetHeight(int v) { FHeight = v; ApplyGeometry(); }
void TForm::SetBounds(int l, int t, int w, int h)
{
    FLeft = l; FTop = t; FWidth = w; FHeight = h;
    ApplyGeometry();
}

void TForm::ApplyGeometry()
{
    QWidget* f = Frame();
    if (!f)
        return;
    if (FMdiFrame && FWindowState == wsMaximized && FMdiFrame->isMaximized())
        return;
    f->setGeometry(FLeft, FTop, FWidth, FHeight);
}

void TForm::DoShow()
{
    FormShow();
    ApplyGeometry();
    QWidget* f = Frame();
    if (FWindowState == wsMaximized)
        f->showMaximized();
    else
        f->show();
    if (FMdiFrame) {
        if (QMdiArea* area = FMdiFrame->mdiArea())
            area->setActiveSubWindow(FMdiFrame);
        if (TApplication* app = OwnerApplication())
            app->ChildActivated(this);
    } else {
        f->raise();
        f->activateWindow();
    }
}

void TForm::Show()
{
    FPendingShow = false;
    if (Visible()) {
        // Already on screen: only brought forward, not moved.
        QWidget* f = Frame();
        f->raise();
        if (FMdiFrame && FMdiFrame->mdiArea())
            FMdiFrame->mdiArea()->setActiveSubWindow(FMdiFrame);
        return;
    }
    DoShow();
}

int TForm::ShowModal()
{
    if (FModalLoop)
        throw EInvalidOperation(QStringLiteral("Cannot make a visible window modal"));
    FModalResult = mrNone;
    QWidget* f = Frame();
    f->setWindowModality(Qt::ApplicationModal);
    QPointer<TForm> self(this);
    QEventLoop loop;
    FModalLoop = &loop;
    Show();
    loop.exec(QEventLoop::DialogExec);
    if (!self)
        return mrCancel;
    FModalLoop = nullptr;
    if (QWidget* fr = Frame())
        fr->setWindowModality(Qt::NonModal);
    return FModalResult == mrNone ? mrCancel : FModalResult;
}

void TForm::Hide()
{
    if (QWidget* f = Frame())
        f->hide();
    if (FModalLoop)
        FModalLoop->exit(FModalResult);
}

void TForm::Close()
{
    if (FClosing)
        return;
    FClosing = true;
    TCloseAction action = (FFormStyle == fsMDIChild) ? caMinimize : caHide;
    if (FModalLoop) {
        action = caHide;
        if (FModalResult == mrNone)
            FModalResult = mrCancel;
    }
    FormClose(action);
    FClosing = false;
    switch (action) {
    case caNone:
        break;
    case caHide:
        Hide();
        break;
    case caMinimize:
        if (QWidget* f = Frame())
            f->showMinimized();
        break;
    case caFree:
        Hide();
        Release();
        break;
    }
}

void TForm::Release()
{
    QPointer<TForm> self(this);
    QTimer::singleShot(0, qApp, [self] {
        if (self && !self->IsDestroying())
            self->Free();
    });
}

QMenu* TForm::AddMenuItem(const QString& name, const QString& caption)
{
    auto* menu = new QMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    FMenuItems.append(menu);
    return menu;
}

bool TForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && (watched == FMdiFrame || (watched == FHandle && !FMdiFrame))) {
        // The user closed the frame: run the form's own close with its close action.
        event->ignore();
        QPointer<TForm> self(this);
        QTimer::singleShot(0, qApp, [self] {
            if (self && !self->IsDestroying())
                self->Close();
        });
        return true;
    }
    if (event->type() == QEvent::WindowActivate && watched == FMdiFrame) {
        if (TApplication* app = OwnerApplication())
            app->ChildActivated(this);
    }
    return TWinControl::eventFilter(watched, event);
}

// ---------------------------------------------------------------- TApplication

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

TApplication::~TApplication() = default;

void TApplication::SetMainWindow(QMainWindow* window)
{
    FMainWindow = window;
    if (QMdiArea* area = MdiArea()) {
        connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
            TForm* found = nullptr;
            for (QObject* o : children()) {
                auto* f = qobject_cast<TForm*>(o);
                if (f && w && f->MdiFrame() == w)
                    found = f;
            }
            // Forms may be owned deeper than the application; search the whole tree.
            if (!found && w)
                for (TForm* f : findChildren<TForm*>())
                    if (f->MdiFrame() == w)
                        found = f;
            ChildActivated(found);
        });
    }
}

QMdiArea* TApplication::MdiArea() const
{
    if (!FMainWindow)
        return nullptr;
    return qobject_cast<QMdiArea*>(FMainWindow->centralWidget());
}

QString TApplication::ExeName() const
{
    return FExeName.isEmpty() ? QCoreApplication::applicationFilePath() : FExeName;
}

void TApplication::HandleException(QObject* Sender, const std::exception& e)
{
    QString className = QStringLiteral("Exception");
    QString message = QString::fromUtf8(e.what());
    if (auto* ex = dynamic_cast<const Exception*>(&e)) {
        className = ex->ClassName();
        message = ex->Message();
    }
    if (OnException) {
        OnException(Sender, className, message);
        return;
    }
    QString caption = FTitle.isEmpty() ? QFileInfo(ExeName()).completeBaseName() : FTitle;
    MessageBox(message, caption, MB_OK | MB_ICONERROR);
}

int TApplication::MessageBox(const QString& Text, const QString& Caption, int Flags)
{
    if (OnMessageBox)
        return OnMessageBox(Text, Caption, Flags);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (Flags & 0xF0) {
    case MB_ICONERROR: icon = QMessageBox::Critical; break;
    case MB_ICONQUESTION: icon = QMessageBox::Question; break;
    case MB_ICONEXCLAMATION: icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default: break;
    }
    const bool yesNo = (Flags & 0x0F) == MB_YESNO;
    QMessageBox box(icon, Caption, Text,
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    FMainWindow.data());
    const int r = box.exec();
    if (yesNo)
        return r == QMessageBox::Yes ? IDYES : IDNO;
    return IDOK;
}

void TApplication::ChildActivated(TForm* form)
{
    if (!FMainWindow)
        return;
    if (form == FMerged.data())
        return;
    QMenuBar* bar = FMainWindow->menuBar();
    if (FMerged)
        for (QMenu* m : FMerged->MenuItems())
            bar->removeAction(m->menuAction());
    FMerged = form;
    if (form)
        for (QMenu* m : form->MenuItems())
            bar->addAction(m->menuAction());
}

void TApplication::ChildGone(TForm* form)
{
    if (FMerged.data() != form || !FMainWindow)
        return;
    QMenuBar* bar = FMainWindow->menuBar();
    for (QMenu* m : form->MenuItems())
        bar->removeAction(m->menuAction());
    FMerged = nullptr;
}

// ---------------------------------------------------------------- TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

TScreen::~TScreen()
{
    while (FOverrides-- > 0)
        QGuiApplication::restoreOverrideCursor();
}

int TScreen::Width() const
{
    if (FWidth > 0)
        return FWidth;
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 0;
}

int TScreen::Height() const
{
    if (FHeight > 0)
        return FHeight;
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

void TScreen::SetCursor(TCursor cursor)
{
    if (cursor == FCursor)
        return;
    FCursor = cursor;
    while (FOverrides > 0) {
        QGuiApplication::restoreOverrideCursor();
        --FOverrides;
    }
    if (cursor != crDefault && QGuiApplication::instance()) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        ++FOverrides;
    }
}

bool LoadQtTranslations()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    // Once per process: a second translator would be asked first for nothing.
    static QTranslator* installed = nullptr;
    if (installed)
        return true;
    auto* translator = new QTranslator(app);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    app->installTranslator(translator);
    installed = translator;
    return true;
}
