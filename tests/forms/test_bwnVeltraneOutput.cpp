// The window's own export and print: the key, the save dialog with its default
// name and suffix, the message box on failure, the preview's pages.
#include "forms/bwnVeltrane.h"
#include "tests/DialogDriver.h"
#include "tests/forms/WindowFixture.h"
#include "toolkit/NextGrid.h"
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QDir>
#include <QUrl>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QTest>
#include <functional>

using windowtest::ctl;
using windowtest::HostFixture;
using windowtest::Window;

using dialogtest::WhenShown;

namespace {

void SaveAs(const QString& file, QString* proposed, bool* seen, const QString& filter = QString())
{
    dialogtest::SaveAs(QStringLiteral("dlgExport"), file, proposed, seen, filter);
}

}  // namespace

TEST(ConfirmationWindowOutput, TheKeyOpensTheSaveDialogWithTheUnitInTheNameAndTheFileFollows)
{
    HostFixture host(200);
    Window win(host);
    host.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    win.grid()->setFocus();
    ASSERT_GT(win.rows(), 1);

    // Typed without an extension: the chosen format's is added, though the dialog
    // is still reading the folder (one of many files) when the name is typed.
    QString proposed;
    bool seen = false;
    SaveAs(host.dir.filePath(QStringLiteral("records")), &proposed, &seen);
    QTest::keySequence(win.grid(), ctl<QAction>(win, "mnuExport")->shortcut());
    win.idle();
    ASSERT_TRUE(seen) << "the save dialog did not open";
    EXPECT_EQ(proposed, QStringLiteral("支付范围划分确认-101001.xlsx"));
    QFile made(host.dir.filePath(QStringLiteral("records.xlsx")));
    ASSERT_TRUE(made.open(QIODevice::ReadOnly)) << (host.messages.empty() ? std::string("no message") : host.messages[0].text.toStdString());
    EXPECT_TRUE(made.read(2) == "PK");
    // Said in the status line, with the folder a click away: no box to close.
    EXPECT_TRUE(host.messages.empty()) << host.messages[0].text.toStdString();
    auto* lblOutput = ctl<QLabel>(win, "lblOutput");
    EXPECT_TRUE(lblOutput->isVisible());
    EXPECT_TRUE(lblOutput->text().startsWith(QStringLiteral("数据已导出到：") + QDir::toNativeSeparators(made.fileName())))
        << qPrintable(lblOutput->text());
    EXPECT_TRUE(lblOutput->text().contains(QStringLiteral("href=\"%1\">打开文件夹")
                                               .arg(QUrl::fromLocalFile(host.dir.path()).toString())))
        << qPrintable(lblOutput->text());

    // The other format chosen in the dialog: its extension.
    host.messages.clear();
    SaveAs(host.dir.filePath(QStringLiteral("records")), &proposed, &seen, QStringLiteral("CSV 文件（逗号分隔） (*.csv)"));
    ctl<QAction>(win, "mnuExport")->trigger();
    win.idle();
    ASSERT_TRUE(seen);
    EXPECT_TRUE(QFile::exists(host.dir.filePath(QStringLiteral("records.csv"))))
        << (host.messages.empty() ? std::string("no message") : host.messages[0].text.toStdString());

    // A name the export cannot take reaches the user as the module's message.
    host.messages.clear();
    SaveAs(host.dir.filePath(QStringLiteral("records.txt")), &proposed, &seen);
    ctl<QAction>(win, "pmuExport")->trigger();
    win.idle();
    ASSERT_TRUE(seen);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.messages[0].text.contains(QStringLiteral("不支持的导出格式"))) << host.messages[0].text.toStdString();
    EXPECT_EQ(host.messages[0].caption, QStringLiteral("Korrindel 7.1-提示信息"));
    EXPECT_EQ(host.messages[0].flags, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_FALSE(QFile::exists(host.dir.filePath(QStringLiteral("records.txt"))));

    // Cancelling the dialog does nothing at all.
    host.messages.clear();
    WhenShown<QFileDialog>(QStringLiteral("dlgExport"), [](QFileDialog* d) { d->reject(); }, &seen);
    ctl<QAction>(win, "mnuExport")->trigger();
    win.idle();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(host.messages.empty());
}

TEST(ConfirmationWindowOutput, PreviewShowsThePagesOfTheGrid)
{
    HostFixture host(200);
    Window win(host);
    int pages = 0;
    QSize size;
    bool seen = false;
    WhenShown<QPrintPreviewDialog>(QStringLiteral("dlgPrintPreview"),
                                   [&pages, &size](QPrintPreviewDialog* d) {
                                       if (auto* view = d->findChild<QPrintPreviewWidget*>())
                                           pages = view->pageCount();
                                       size = d->size();
                                       d->reject();
                                   },
                                   &seen);
    ctl<QAction>(win, "mnuPrintPreview")->trigger();
    win.idle();
    ASSERT_TRUE(seen) << "the preview did not open";
    EXPECT_GE(pages, 1);
    // Large enough to read a page: most of the screen.
    const QRect room = host.window.screen()->availableGeometry();
    EXPECT_GE(size.width(), room.width() * 3 / 4);
    EXPECT_GE(size.height(), room.height() * 3 / 4);
    EXPECT_TRUE(host.messages.empty());
}

TEST(ConfirmationWindowOutput, AnOutputAskedOfTheInterfaceRefusesASecondAndIsNotHeardOfOnceTheWindowWent)
{
    HostFixture host(200);
    Window win(host);
    IVeltraneWindow* w = qobject_cast<IVeltraneWindow*>(win.w.data());
    ASSERT_NE(w, nullptr);
    int ended = 0;
    w->ExportGrid(host.dir.filePath(QStringLiteral("records.xlsx")), [&ended](const TResult<>&) { ++ended; });
    // Started and returned: the window holds Busy until its end.
    EXPECT_TRUE(win->Busy());
    EXPECT_EQ(ended, 0);
    QString refusal;
    w->PrintGridToPdf(host.dir.filePath(QStringLiteral("records.pdf")),
                      [&refusal](const TResult<>& r) { refusal = r.Error().Message; });
    EXPECT_FALSE(refusal.isEmpty());
    EXPECT_FALSE(QFile::exists(host.dir.filePath(QStringLiteral("records.pdf"))));
    // The window goes before the end reached the interface thread.
    win->Free();
    windowtest::Spin();
    EXPECT_EQ(ended, 0);
}
