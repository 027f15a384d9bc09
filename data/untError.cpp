#include "data/untError.h"

QString AdvisedMessage(const TError& Error)
{
    const QString advice = Advice(Error);
    if (advice.isEmpty())
        return Error.Message;
    return Error.Message.isEmpty() ? advice : advice + QStringLiteral("（") + Error.Message + QStringLiteral("）");
}

QString Advice(const TError& Error)
{
    const QString text = Error.Message;
    const QString lower = text.toLower();
    QString advice;
    switch (Error.Kind) {
    case EDatabaseError::Busy:
    case EDatabaseError::Locked:
        advice = QStringLiteral("其他用户正在修改这些预算指标，数据库暂时无法写入，请稍后再试。");
        break;
    case EDatabaseError::ReadOnly:
        advice = QStringLiteral("数据库是只读的，无法修改，请联系系统管理员。");
        break;
    case EDatabaseError::Full:
        advice = QStringLiteral("磁盘空间不足，数据库无法写入，请清理磁盘或联系系统管理员后再试。");
        break;
    case EDatabaseError::Io:
        advice = QStringLiteral("读写数据库文件时出错，请检查磁盘和文件后再试。");
        break;
    case EDatabaseError::Lost:
        advice = QStringLiteral("无法连接数据库，请检查网络和数据库服务器是否正常，稍后再试。");
        break;
    case EDatabaseError::Cancelled:
        advice = QStringLiteral("操作已取消。");
        break;
    case EDatabaseError::Statement:
        if (lower.contains(QLatin1String("no such table")) || lower.contains(QLatin1String("does not exist"))
            || lower.contains(QLatin1String("invalid object name")) || lower.contains(QLatin1String("no such column")))
            advice = QStringLiteral("数据库中缺少需要的表、视图或字段，请联系系统管理员检查数据库结构。");
        else if (lower.contains(QLatin1String("connection refused")) || lower.contains(QLatin1String("could not connect")))
            advice = QStringLiteral("无法连接数据库，请检查网络和数据库服务器是否正常，稍后再试。");
        break;
    }
    return advice;
}
