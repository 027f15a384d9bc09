// The output component's save dialog with types of its owner's: the type chosen
// gives a name typed without extension its suffix, and the next dialog opens
// where the latest export went.
#include "grid/untGridOutput.h"
#include "tests/DialogDriver.h"
#include <gtest/gtest.h>
#include <QTemporaryDir>
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
