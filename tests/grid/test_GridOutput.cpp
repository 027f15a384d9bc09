// The output component's save dialog with types of its owner's: the type chosen
// gives a name typed without extension its suffix, and the next dialog opens
// where the latest export went. Its job's result reaches the caller.
#include "grid/untGridOutput.h"
#include "tests/DialogDriver.h"
#include "toolkit/Threads.h"
#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

TEST(GridOutput, TheSaveDialogGivesTheChosenTypesSuffixAndOpensWhereTheLastExportWent)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QWidget window;
    int asked = 0;
    TGridOutput output(&window, [&asked](const QString&, int) {
        ++asked;
        return 0;
    }, {}, nullptr);
    const QString pdf = QStringLiteral("PDF 文件 (*.pdf)");
    const TGridOutput::TSaveDialog save{QStringLiteral("导出操作日志"), QStringLiteral("dlgJournal"), QStringLiteral("日志.xlsx"),
                                        {TGridOutput::XlsxFilter(), TGridOutput::CsvFilter(), pdf}};

    QString proposed;
    bool seen = false;
    dialogtest::SaveAs(save.ObjectName, dir.filePath(QStringLiteral("journal")), &proposed, &seen, pdf);
    EXPECT_EQ(output.ChooseFile(save), dir.filePath(QStringLiteral("journal.pdf")));
    ASSERT_TRUE(seen);
    EXPECT_EQ(proposed, QStringLiteral("日志.xlsx"));
    EXPECT_EQ(asked, 0);   // nothing there to replace

    QString folder;
    dialogtest::WhenShown<QFileDialog>(save.ObjectName,
                                       [&folder](QFileDialog* d) {
                                           folder = QFileInfo(d->selectedFiles().value(0)).absolutePath();
                                           d->reject();
                                       },
                                       &seen);
    EXPECT_TRUE(output.ChooseFile(save).isEmpty());
    ASSERT_TRUE(seen);
    EXPECT_EQ(folder, QFileInfo(dir.path()).absoluteFilePath());
}

TEST(GridOutput, AJobsResultOrWhatItThrewReachesItsDoneAndAJobAskedMeanwhileIsRefused)
{
    QWidget window;
    TGridOutput output(&window, [](const QString&, int) { return 0; }, {}, nullptr);
    std::optional<TResult<int>> first, second;
    const auto into = [](std::optional<TResult<int>>* r) { return [r](TResult<int> v) { r->emplace(std::move(v)); }; };
    output.RunResult<int>(QStringLiteral("一"), [](TBackgroundTask&) { return TResult<int>(7); }, into(&first));
    output.RunResult<int>(QStringLiteral("二"), [](TBackgroundTask&) { return TResult<int>(8); }, into(&second));
    ASSERT_TRUE(second && !*second);
    EXPECT_EQ(second->Error().Message, TGridOutput::Refused().Message);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.has_value(); }, 60000));
    ASSERT_TRUE(*first);
    EXPECT_EQ(first->Value(), 7);

    second.reset();
    output.RunResult<int>(QStringLiteral("三"), [](TBackgroundTask&) -> TResult<int> { throw Exception(QStringLiteral("坏了")); },
                          into(&second));
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.has_value(); }, 60000));
    ASSERT_FALSE(*second);
    EXPECT_EQ(second->Error().Message, QStringLiteral("坏了"));
}
