// Readers of exported and printed files that share nothing with the code that
// writes them: Python's openpyxl and csv module, poppler's pdfinfo and pdftotext.
// A missing reader is a test failure that names it, never a pass.
#pragma once
#include <gtest/gtest.h>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

namespace outputcheck {

struct Run {
    bool started = false;
    int code = -1;
    QByteArray out, err;
};

inline Run RunTool(const QString& program, const QStringList& args, int timeoutMs = 300000)
{
    Run r;
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return r;
    r.started = true;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// A python3 that can import openpyxl: the one on PATH, else the system's.
inline QString Python()
{
    static const QString found = [] {
        QStringList candidates;
        const QString onPath = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (!onPath.isEmpty())
            candidates << onPath;
        candidates << QStringLiteral("/usr/bin/python3");
        for (const QString& c : candidates)
            if (QFileInfo(c).isExecutable()
                && RunTool(c, {QStringLiteral("-c"), QStringLiteral("import openpyxl")}, 60000).code == 0)
                return c;
        return QString();
    }();
    return found;
}

// The first sheet: {"sheets": [...], "freeze": "A2", "filter": "A1:R40", "widths": [...],
// "rows": [[[value, data_type, number_format, bold, cached value], ...], ...]}: a
// formula's value is its text ("=SUBTOTAL(...)"), the cached value what the
// writer stored for readers that do not calculate; dates as "2024-03-15 00:00:00".
inline QJsonObject ReadXlsx(const QString& file)
{
    const QString python = Python();
    if (python.isEmpty()) {
        ADD_FAILURE() << "python3 with openpyxl is needed to read the workbook back (python3-openpyxl)";
        return {};
    }
    static const QString script = QStringLiteral(R"(
import json, sys, openpyxl
from openpyxl.utils import get_column_letter
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
cached = openpyxl.load_workbook(sys.argv[1], data_only=True).worksheets[0]
rows = [[[c.value, c.data_type, c.number_format, bool(c.font.b), v.value] for c, v in zip(row, vrow)]
        for row, vrow in zip(ws.iter_rows(), cached.iter_rows())]
widths = [ws.column_dimensions[get_column_letter(i + 1)].width for i in range(ws.max_column)]
sys.stdout.write(json.dumps({"sheets": wb.sheetnames, "freeze": ws.freeze_panes, "filter": ws.auto_filter.ref,
                             "rows": rows, "widths": widths}, default=str))
)");
    const Run r = RunTool(python, {QStringLiteral("-c"), script, file});
    EXPECT_EQ(r.code, 0) << "openpyxl could not read " << file.toStdString() << ": " << r.err.toStdString();
    return QJsonDocument::fromJson(r.out).object();
}

// Rows and fields as Python's csv module reads the file (BOM removed: utf-8-sig).
inline QList<QStringList> ReadCsv(const QString& file)
{
    const QString python = Python();
    if (python.isEmpty()) {
        ADD_FAILURE() << "python3 is needed to read the CSV file back";
        return {};
    }
    static const QString script = QStringLiteral(R"(
import csv, json, sys
with open(sys.argv[1], encoding="utf-8-sig", newline="") as f:
    sys.stdout.write(json.dumps(list(csv.reader(f, strict=True))))
)");
    const Run r = RunTool(python, {QStringLiteral("-c"), script, file});
    EXPECT_EQ(r.code, 0) << "csv could not read " << file.toStdString() << ": " << r.err.toStdString();
    QList<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(r.out).array()) {
        QStringList fields;
        for (const QJsonValue& v : row.toArray())
            fields << v.toString();
        rows << fields;
    }
    return rows;
}

// pdfinfo's page count and page size ("595 x 842"); -1 pages when it could not tell.
struct PdfInfo {
    int pages = -1;
    QString size;
};

inline PdfInfo ReadPdfInfo(const QString& file)
{
    PdfInfo info;
    const Run r = RunTool(QStringLiteral("pdfinfo"), {file});
    if (!r.started) {
        ADD_FAILURE() << "pdfinfo is needed to read the PDF back (poppler-utils)";
        return info;
    }
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const QString text = QString::fromUtf8(r.out);
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"),
                                                             QRegularExpression::MultilineOption).match(text);
    if (pages.hasMatch())
        info.pages = pages.captured(1).toInt();
    const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("^Page size:\\s+([\\d.]+ x [\\d.]+)"),
                                                            QRegularExpression::MultilineOption).match(text);
    if (size.hasMatch())
        info.size = size.captured(1);
    return info;
}

// The text of one page (1-based), laid out as on the page: one table row a line.
inline QString PdfPageText(const QString& file, int page)
{
    const Run r = RunTool(QStringLiteral("pdftotext"),
                          {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                           QString::number(page), file, QStringLiteral("-")});
    if (!r.started) {
        ADD_FAILURE() << "pdftotext is needed to read the PDF back (poppler-utils)";
        return {};
    }
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    return QString::fromUtf8(r.out);
}

}  // namespace outputcheck
